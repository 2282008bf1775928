#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarnvale {

// Slots in each history ring; the level rings use the first avgRingLength
// (at most 1000), the phase ring the first 60.
inline constexpr std::size_t kRingCapacity = 2000;
inline constexpr std::int32_t kPhaseRingLength = 60;

// The meter's run-time state, carried from buffer to buffer; all zero at start.
struct MeterState {
  std::int32_t peakL = 0;      // left (or single) bar position, 1..512 once running
  std::int32_t peakR = 0;      // right bar position
  std::int32_t peakholdL = 0;  // hold marker positions; 0 is no marker
  std::int32_t peakholdR = 0;
  bool clipLatchedLeft = false;
  bool clipLatchedRight = false;
  double heldPeakDbLeft = 0.0;  // levelDb of the buffer peak that last raised the hold
  double heldPeakDbRight = 0.0;
  std::uint32_t lastHoldTick = 0;  // ms tick of the last hold raise on either side
  std::int32_t decayStep = 0;      // bars fall by twice this per buffer
  std::array<std::int32_t, kRingCapacity> avgHistoryLeft{};
  std::array<std::int32_t, kRingCapacity> avgHistoryRight{};
  std::array<std::int32_t, kRingCapacity> phaseHistory{};
  std::int32_t avgRingPos = 0;  // next slot of the level rings: the oldest entry
  std::int32_t phaseRingPos = 0;
  std::uint32_t lastReadoutTick = 0;  // ms tick of the last slow display update
};

// What one update yields for the display.
struct MeterReadings {
  std::int32_t avgLevelLeft = 0;  // mean of the recent buffer peaks
  std::int32_t avgLevelRight = 0;
  std::int32_t avgPositionLeft = 0;  // where the average marks are drawn
  std::int32_t avgPositionRight = 0;
  double avgDbLeft = 0.0;
  double avgDbRight = 0.0;
  std::int32_t phaseAverage = 0;  // mean of the last 60 phase angles, degrees
};

}  // namespace tarnvale
