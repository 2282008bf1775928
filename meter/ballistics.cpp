#include "meter/ballistics.h"

#include <algorithm>
#include <optional>

#include "meter/decibels.h"
#include "settings/number_text.h"

namespace tarnvale {

namespace {

// Sum of the first `length` ring entries: the walk from the oldest entry
// round the ring covers exactly these, and integer sums do not depend on order.
// Four partial sums, so the additions need not wait on one another.
std::int64_t ringSum(const std::array<std::int32_t, kRingCapacity>& ring, std::int32_t length) {
  std::int64_t part[4] = {};
  std::size_t i = 0;
  const auto n = static_cast<std::size_t>(length);
  for (; i + 4 <= n; i += 4) {
    for (std::size_t j = 0; j < 4; ++j) part[j] += ring[i + j];
  }
  for (; i < n; ++i) part[0] += ring[i];
  return part[0] + part[1] + part[2] + part[3];
}

// The slot to write next. A position outside the ring (never produced here,
// only by a damaged state) starts again at slot 0.
std::size_t slotOf(std::int32_t& pos) {
  if (pos < 0 || pos >= static_cast<std::int32_t>(kRingCapacity)) pos = 0;
  return static_cast<std::size_t>(pos);
}

void advance(std::int32_t& pos, std::int32_t length) {
  ++pos;
  if (pos >= length) pos = 0;
}

// Jumps up to the target at once, otherwise falls by twice the decay (past the
// target if need be), held within 1..512. 64-bit: any whole number may be typed.
std::int32_t moveBar(std::int32_t bar, std::int32_t target, std::int32_t decayStep) {
  const std::int64_t next =
      bar <= target ? std::int64_t{target} : std::int64_t{bar} - 2 * std::int64_t{decayStep};
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(next, kLowestBar, kHighestBar));
}

}  // namespace

void readDecayStep(MeasurementFields& fields, MeterState& state) {
  fields.setDecayFieldRed(false);
  const std::optional<std::int32_t> parsed = parseInteger(fields.decayText());
  if (parsed) {
    state.decayStep = *parsed;
  } else {
    fields.setDecayFieldRed(true);
    state.decayStep = kFallbackDecayStep;
  }
}

void resetHolds(MeterState& state) {
  state.peakholdL = 0;
  state.peakholdR = 0;
  state.clipLatchedLeft = false;
  state.clipLatchedRight = false;
}

MeterReadings updateMeter(const BufferLevels& levels, double calibrationDb,
                          double calibrationDivisor, MeterState& state,
                          const MeterContext& context) {
  const MeterSettings& settings = context.settings;
  // The settings keep the length within 1..1000; held here too so a caller that
  // forgot can neither divide by zero nor walk past the rings.
  const std::int32_t ringLength = std::clamp(settings.avgRingLength, 1, 1000);

  // Rings; avgRingPos ends on the oldest entry.
  const std::size_t levelSlot = slotOf(state.avgRingPos);
  state.avgHistoryLeft[levelSlot] = levels.bufferPeakLeft;
  state.avgHistoryRight[levelSlot] = levels.bufferPeakRight;
  advance(state.avgRingPos, ringLength);
  state.phaseHistory[slotOf(state.phaseRingPos)] = levels.phaseAngle;
  advance(state.phaseRingPos, kPhaseRingLength);

  // Averages, truncated toward zero.
  MeterReadings readings;
  readings.avgLevelLeft =
      static_cast<std::int32_t>(ringSum(state.avgHistoryLeft, ringLength) / ringLength);
  readings.avgLevelRight =
      static_cast<std::int32_t>(ringSum(state.avgHistoryRight, ringLength) / ringLength);
  readings.phaseAverage =
      static_cast<std::int32_t>(ringSum(state.phaseHistory, kPhaseRingLength) / kPhaseRingLength);

  // Average marks and readouts.
  readings.avgPositionLeft = positionOf(readings.avgLevelLeft, calibrationDivisor, context.table);
  readings.avgPositionRight = positionOf(readings.avgLevelRight, calibrationDivisor, context.table);
  readings.avgDbLeft = levelDb(readings.avgLevelLeft, calibrationDb);
  readings.avgDbRight = levelDb(readings.avgLevelRight, calibrationDb);

  // Bars.
  const std::int32_t targetL = positionOf(levels.bufferPeakLeft, calibrationDivisor, context.table);
  const std::int32_t targetR =
      positionOf(levels.bufferPeakRight, calibrationDivisor, context.table);
  readDecayStep(context.fields, state);
  state.peakL = moveBar(state.peakL, targetL, state.decayStep);
  state.peakR = moveBar(state.peakR, targetR, state.decayStep);

  // Holds; the dB shown is this buffer's raw peak even when the bar is still
  // falling from an earlier one.
  const std::uint32_t now = context.clock.tickCount();
  if (state.peakL > state.peakholdL) {
    state.heldPeakDbLeft = levelDb(levels.bufferPeakLeft, calibrationDb);
    state.peakholdL = state.peakL;
    state.lastHoldTick = now;
  }
  if (state.peakR > state.peakholdR) {
    state.heldPeakDbRight = levelDb(levels.bufferPeakRight, calibrationDb);
    state.peakholdR = state.peakR;
    state.lastHoldTick = now;
  }

  // Timed reset. The unsigned difference survives the tick counter's wrap; a
  // negative reset time (hand-edited file) resets in every buffer.
  const std::uint32_t held = now - state.lastHoldTick;
  if (!settings.holdPeaks && std::int64_t{held} > std::int64_t{settings.holdResetMs}) {
    resetHolds(state);
  }
  return readings;
}

}  // namespace tarnvale
