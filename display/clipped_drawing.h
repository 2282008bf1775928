#pragma once

#include <cstdint>
#include <string>

#include "raster/bitmap32.h"
#include "raster/color.h"

namespace tarnvale {

// Drawing at coordinates worked out in 64 bits: they are sums of settings that
// a hand-edited file can push to the ends of their 32-bit range.

// Fills [left, right) × [top, bottom) of the bitmap, cut to its bounds.
void fillArea(TBitmap32& bitmap, std::int64_t left, std::int64_t top, std::int64_t right,
              std::int64_t bottom, TColor32 colour);

// Textout at (x, y) in the bitmap's font. A point far outside the bitmap is
// moved to one just as far out, where the text still shows nothing.
void writeText(TBitmap32& bitmap, std::int64_t x, std::int64_t y, const std::string& text);

}  // namespace tarnvale
