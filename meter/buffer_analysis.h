#pragma once

#include <cstdint>

#include "meter/measurement_fields.h"
#include "meter/meter_state.h"
#include "settings/meter_settings.h"

namespace tarnvale {

// The figures of one capture buffer.
struct BufferLevels {
  std::int32_t bufferPeakLeft = 0;  // largest left magnitude after DC correction, >= 0
  std::int32_t bufferPeakRight = 0;
  std::int32_t midPeak = 0;     // largest |(L + R) / 2|, no correction; 0..32768
  std::int32_t sidePeak = 0;    // largest |(L - R) / 2|, no correction; 0..32767
  std::int32_t phaseAngle = 0;  // degrees, -179..179
  // Magnitudes before correction; 64-bit because a hand-edited sample rate
  // can make a buffer long enough to overflow 32 bits.
  std::int64_t magnitudeSumLeft = 0;
  std::int64_t magnitudeSumRight = 0;
};

// Analyses `frameCount` interleaved little-endian stereo frames (the last
// three are not examined). `channelMode` as stored: MonoMix puts the mid
// signal on the left.
// With a measurement pending, the offsets are measured into the settings and
// the dialog's readouts, the flag is cleared, and this buffer goes uncorrected.
BufferLevels analyseBuffer(const std::int16_t* samples, std::int32_t frameCount,
                           std::int32_t channelMode, MeterSettings& settings,
                           bool& dcCapturePending, MeasurementFields& fields);

// Sets the clip latch of each channel whose peak reaches the clip level
// (dB relative to digital full scale). Never clears them.
void latchClips(const BufferLevels& levels, double clipLevelDb, MeterState& state);

}  // namespace tarnvale
