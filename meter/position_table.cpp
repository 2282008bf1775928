#include "meter/position_table.h"

#include <algorithm>
#include <limits>

#include "meter/rounding.h"

namespace tarnvale {

namespace {

struct Segment {
  std::int32_t firstIndex, lastIndex, firstLevel, lastLevel;
};

// Marks at roughly -60, -50, -40, -30, -20, -15, -10, -5 and 0 dB with divisor 10;
// neighbours share their boundary entry.
constexpr Segment kScaleSegments[] = {
    {0, 3, 0, 10},         {3, 10, 10, 28},        {10, 33, 28, 56},
    {33, 104, 56, 92},     {104, 328, 92, 128},    {328, 576, 128, 160},
    {576, 1037, 160, 192}, {1037, 1843, 192, 224}, {1843, 3277, 224, 255},
};

// Wide enough for 2 x k x rise with any 32-bit arguments.
__extension__ using Wide = __int128;

Wide floorDiv(Wide num, Wide den) {
  const Wide q = num / den;
  return (num % den != 0 && (num < 0) != (den < 0)) ? q - 1 : q;
}

}  // namespace

void fillPositionSegment(PositionTable& table, std::int32_t firstIndex, std::int32_t lastIndex,
                         std::int32_t firstLevel, std::int32_t lastLevel) {
  if (lastIndex < firstIndex) return;
  const std::int64_t first = firstIndex;
  const std::int64_t span = std::int64_t{lastIndex} - first;
  const std::int64_t start = 2 * std::int64_t{firstLevel};
  const std::int64_t rise = 2 * std::int64_t{lastLevel} - start;
  const std::int64_t from = std::max<std::int64_t>(first, 0);
  const std::int64_t to = std::min<std::int64_t>(lastIndex, kLastPositionIndex);
  for (std::int64_t index = from; index <= to; ++index) {
    const std::int64_t k = index - first;
    // start + k * rise / span rounded half up, in exact integers so the
    // entries that fall on a half really do round up.
    const Wide value =
        span == 0 ? Wide{start} : start + floorDiv(Wide{2} * k * rise + span, Wide{2} * span);
    table[static_cast<std::size_t>(index)] = static_cast<std::int32_t>(std::clamp<Wide>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
  }
}

void buildPositionTable(PositionTable& table) {
  for (const Segment& s : kScaleSegments) {
    fillPositionSegment(table, s.firstIndex, s.lastIndex, s.firstLevel, s.lastLevel);
  }
}

std::int32_t positionOf(std::int32_t amplitude, double divisor, const PositionTable& table) {
  const double index = roundHalfEven(static_cast<double>(amplitude) / divisor);
  if (!(index > 0)) return table[0];
  if (index >= kLastPositionIndex) return table[kLastPositionIndex];
  return table[static_cast<std::size_t>(index)];
}

}  // namespace tarnvale
