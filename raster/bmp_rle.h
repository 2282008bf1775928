#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "raster/color.h"

namespace tarnvale {

enum class RleResult { complete, truncated };

// Decodes a run-length compressed 8-bit (bitCount 8) or 4-bit (bitCount 4)
// pixel stream into width × height pixels, rows from the top (the stream's
// rows run bottom-up). Pixels the stream skips (deltas, early line or bitmap
// ends) and indices past the palette stay 0x00000000, as on a cleared
// bitmap. Runs past a row's end are dropped. The result is truncated when the
// data ends before the end-of-bitmap mark and before the last row was reached.
RleResult decodeRle(const std::uint8_t* data, std::size_t size, int bitCount, int width, int height,
                    const std::vector<TColor32>& palette, std::vector<TColor32>& pixels);

}  // namespace tarnvale
