#pragma once

#include <cstdint>

#include "meter/buffer_analysis.h"
#include "meter/measurement_fields.h"
#include "meter/meter_state.h"
#include "meter/position_table.h"
#include "platform/clock.h"
#include "settings/meter_settings.h"

namespace tarnvale {

// Bar positions are held within 1..512.
inline constexpr std::int32_t kLowestBar = 1;
inline constexpr std::int32_t kHighestBar = 512;
// Decay used while the decay field does not hold a whole number.
inline constexpr std::int32_t kFallbackDecayStep = 2;

// What an update reads besides the buffer's figures.
struct MeterContext {
  const MeterSettings& settings;  // avgRingLength, holdResetMs, holdPeaks
  const PositionTable& table;
  MeasurementFields& fields;  // the decay field
  const Clock& clock;
};

// Moves the meter on by one buffer: rings and averages, bars, holds, the timed
// hold reset.
MeterReadings updateMeter(const BufferLevels& levels, double calibrationDb,
                          double calibrationDivisor, MeterState& state,
                          const MeterContext& context);

// Reads the decay field into decayStep; a text that is not a whole number
// turns the field red and gives 2.
void readDecayStep(MeasurementFields& fields, MeterState& state);

// Drops both hold markers and puts out both clip indicators.
void resetHolds(MeterState& state);

}  // namespace tarnvale
