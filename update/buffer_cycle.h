#pragma once

#include <cstdint>

#include "display/colour_table.h"
#include "display/display_copy.h"
#include "display/display_state.h"
#include "meter/measurement_fields.h"
#include "meter/meter_state.h"
#include "meter/position_table.h"
#include "platform/clock.h"
#include "platform/locale.h"
#include "raster/bitmap32.h"
#include "settings/meter_settings.h"
#include "update/display_update.h"

namespace tarnvale {

// Everything one capture buffer's measurement and drawing reads or writes
// besides the meter's state.
struct BufferCycleContext {
  MeterSettings& settings;  // the analysis stores measured DC offsets
  bool& dcCapturePending;
  const PositionTable& table;
  MeasurementFields& fields;
  const Clock& clock;
  const Locale& locale;
  TBitmap32& workBitmap;
  TBitmap32& displayBitmap;
  const ColourTable& colourTable;
  const DisplayState& displayState;
  DisplayCopy* displayCopy = nullptr;  // see DisplayUpdateContext
  DrawnBars* drawnBars = nullptr;      // see DisplayUpdateContext
};

// One returned capture buffer of `frameCount` interleaved stereo frames, from
// the calibration field to the picture on screen: readCalibration,
// analyseBuffer, latchClips, updateMeter, updateDisplay. The device's own
// steps (giving the buffer back, releasing and replacing it) stay with the
// caller.
MeterReadings processBuffer(const std::int16_t* samples, std::int32_t frameCount, MeterState& state,
                            const BufferCycleContext& context);

}  // namespace tarnvale
