#include "update/buffer_cycle.h"

#include <string>

#include "display/display_context.h"
#include "meter/ballistics.h"
#include "meter/buffer_analysis.h"
#include "meter/calibration.h"
#include "update/display_update.h"

namespace tarnvale {

MeterReadings processBuffer(const std::int16_t* samples, std::int32_t frameCount, MeterState& state,
                            const BufferCycleContext& context) {
  MeterSettings& settings = context.settings;
  const std::string separator = context.locale.decimalSeparator();
  const Calibration calibration = readCalibration(context.fields, separator);
  const BufferLevels levels = analyseBuffer(samples, frameCount, settings.channelMode, settings,
                                            context.dcCapturePending, context.fields);
  latchClips(levels, settings.clipLevelDb, state);
  const MeterReadings readings =
      updateMeter(levels, calibration.calibrationDb, calibration.calibrationDivisor, state,
                  MeterContext{settings, context.table, context.fields, context.clock});
  const DisplayContext display{context.workBitmap, settings, context.colourTable,
                               context.displayState};
  updateDisplay(readings, state,
                DisplayUpdateContext{display, context.displayBitmap, context.clock, separator,
                                     context.displayCopy, context.drawnBars});
  return readings;
}

}  // namespace tarnvale
