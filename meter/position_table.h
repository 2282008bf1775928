#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarnvale {

// Display positions 0..510 indexed by amplitude / calibration divisor; the
// entries never decrease with the index.
inline constexpr std::size_t kPositionTableSize = 3278;
inline constexpr std::int32_t kLastPositionIndex = 3277;
using PositionTable = std::array<std::int32_t, kPositionTableSize>;

// Entries firstIndex..lastIndex go linearly from 2 x firstLevel to
// 2 x lastLevel, rounded half up. Indices outside the table are skipped. A
// segment of one index (lastIndex == firstIndex) would divide by zero: it
// writes that one entry, 2 x firstLevel.
void fillPositionSegment(PositionTable& table, std::int32_t firstIndex, std::int32_t lastIndex,
                         std::int32_t firstLevel, std::int32_t lastLevel);

// The nine-segment scale, from silence to the calibrated full scale.
void buildPositionTable(PositionTable& table);

// Position of an amplitude: index = amplitude / divisor rounded half to even,
// held within 0..3277 (NaN counts as 0).
std::int32_t positionOf(std::int32_t amplitude, double divisor, const PositionTable& table);

}  // namespace tarnvale
