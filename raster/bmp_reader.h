#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "raster/color.h"

namespace tarnvale {

struct DecodedPixels {
  int Width = 0;
  int Height = 0;
  std::vector<TColor32> Pixels;  // rows from the top
};

// Bytes of a bitmap file and its information header.
inline constexpr std::size_t kBmpHeaderBytes = 54;

// Decodes the content of a BMP file, which begins with "BM" and holds at least
// the 54 header bytes. A 32-bit uncompressed file with the 40-byte header is
// read directly: rows right after the header bytes, the stored alpha kept.
// Every other kind goes through the general BMP reader and gets alpha 255
// unless it has 32 bits per pixel. Raises RasterError naming the file when the
// content is cut short, cannot be decoded, or its header asks for more than
// the image limits allow (checked before any pixel memory is taken).
DecodedPixels readBmp(const std::uint8_t* data, std::size_t size, const std::string& fileName);

}  // namespace tarnvale
