#pragma once

#include <cstdint>

namespace tarnvale {

// The largest image a file may ask for. Checked against the header before any
// pixel memory is taken, so a damaged or hostile header cannot ask for gigabytes.
inline constexpr std::int64_t kMaxImageSide = 16384;
inline constexpr std::int64_t kMaxImageBytes = std::int64_t{256} << 20;  // as 32-bit pixels

inline bool imageSizeAllowed(std::int64_t width, std::int64_t height) {
  if (width < 0) width = -width;
  if (height < 0) height = -height;
  return width <= kMaxImageSide && height <= kMaxImageSide && width * height * 4 <= kMaxImageBytes;
}

}  // namespace tarnvale
