#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "raster/color.h"
#include "settings/meter_settings.h"

namespace tarnvale {

// Graded zone colours; the bars read entries 0..63, the build may also write
// the entries above (never drawn). Value-initialise it: entries start at 0.
inline constexpr std::size_t kColourTableSize = 81;
using ColourTable = std::array<TColor32, kColourTableSize>;

// Blocks per bar.
inline constexpr std::int32_t kBlockCount = 64;

// Rebuilds the table from baseColor, midColor, topColor, amberStart and
// redStart: base up to amberStart - 10, a ramp to mid over the 20 blocks around
// amberStart, mid, a ramp to top around redStart, then top. Writes red, green
// and blue only; the alpha byte of every entry stays as it was (0).
void buildColourTable(ColourTable& table, const MeterSettings& settings);

// Zone colour of block `block` (0..63): the table's entry while blending,
// else one of three flat zones.
TColor32 zoneColour(const ColourTable& table, const MeterSettings& settings, std::int32_t block);

}  // namespace tarnvale
