#pragma once

#include <array>
#include <cstdint>

#include "display/colour_table.h"
#include "display/display_context.h"
#include "raster/color.h"
#include "settings/meter_settings.h"

namespace tarnvale {

inline constexpr TColor32 kUnlitColour = 0x00002626;
inline constexpr TColor32 kClipLitColour = 0x00FF0000;
inline constexpr TColor32 kAverageColour = 0x00FFFFFF;
// Pixels from one block to the next along the 512-pixel scale.
inline constexpr std::int32_t kBlockPitch = 8;
// Lowest positions that light block 0.
inline constexpr std::int32_t kVerticalMinimum = 5;
inline constexpr std::int32_t kHorizontalMinimum = 10;

// Where a bar lies: a bar drawn elsewhere shares none of its pixels.
struct BarPlace {
  bool vertical = true;
  std::int32_t cross = 0;  // left column, or the row below
  std::int32_t barWidth = 0;
  bool blocks = true;
  std::int32_t width = 0;  // the work bitmap's size
  std::int32_t height = 0;
  bool operator==(const BarPlace&) const = default;
};

// The colours a bar's 64 blocks and its clip box were filled with last, and
// where. A block already in its colour is neither filled nor compared again:
// the caller keeps it only while nothing else has written to the bitmap.
struct DrawnBar {
  std::array<TColor32, kBlockCount + 1> colours{};
  BarPlace place;
  bool known = false;
};

// Colour of block `block` of a bar at `position` whose lighting starts at
// `minimum`: lit or unlit, then the hold block, then the average block.
TColor32 blockColour(const ColourTable& table, const MeterSettings& settings, std::int32_t block,
                     std::int32_t position, std::int32_t minimum, std::int32_t holdPosition,
                     std::int32_t averagePosition);

// One bar of 64 blocks, bottom to top, with `x` its left column and the clip
// box above it; the blocks lie on the 512 rows centred in the work bitmap.
void drawVerticalBar(const DisplayContext& context, std::int32_t position, std::int32_t x,
                     bool clipLatched, std::int32_t holdPosition, std::int32_t averagePosition,
                     DrawnBar* drawn = nullptr);

// One bar of 64 blocks, left to right, with `y` the row just below it and the
// clip box after it; the blocks lie on the 512 columns centred in the work
// bitmap.
void drawHorizontalBar(const DisplayContext& context, std::int32_t position, std::int32_t y,
                       bool clipLatched, std::int32_t holdPosition, std::int32_t averagePosition,
                       DrawnBar* drawn = nullptr);

}  // namespace tarnvale
