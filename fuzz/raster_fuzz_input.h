#pragma once

#include <cstdint>
#include <string>

namespace tarnvale::fuzz {

// The first byte of a raster fuzz input picks the file name, and with it the
// decoder for content that does not begin with "BM"; the rest is the file.
inline std::string rasterFuzzFileName(std::uint8_t selector) {
  return selector % 2 == 0 ? "fuzz.bmp" : "fuzz.jpg";
}

inline constexpr std::uint8_t kBmpSelector = 0;
inline constexpr std::uint8_t kJpegSelector = 1;

}  // namespace tarnvale::fuzz
