#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "raster/bitmap32.h"

namespace tarnvale::test {

using Bytes = std::vector<std::uint8_t>;

// Pixels of a picture as 0xAARRGGBB, rows from the top.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<TColor32> pixels;
  TColor32 at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

Picture randomPicture(std::mt19937& rng, int width, int height);
// Fills bitmap with picture (sizing it first).
void paint(TBitmap32& bitmap, const Picture& picture);
Picture pixelsOf(const TBitmap32& bitmap);

// ---- BMP files, written byte by byte as the format lays them out ----------

// 32 bits per pixel, uncompressed, 40-byte header; alpha stored as given.
Bytes bmp32(const Picture& p, bool topDown = false);
// 24 bits per pixel, rows padded to 4 bytes.
Bytes bmp24(const Picture& p, bool topDown = false);
// 16 bits per pixel: 5-5-5 uncompressed, or 5-6-5 through bit fields.
Bytes bmp16(const Picture& p, bool bitfields565);
// Palette images of 1, 4 or 8 bits per pixel; index picks from palette (0x00RRGGBB).
struct Indexed {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> index;  // rows from the top
  std::vector<std::uint32_t> palette;
};
Bytes bmpIndexed(const Indexed& image, int bitCount, bool topDown = false);
// Run-length compressed 8 or 4 bits per pixel (runs and absolute groups).
Bytes bmpRle(const Indexed& image, int bitCount);
// A run-length file around a stream written by hand.
Bytes bmpRleStream(int width, int height, int bitCount, const std::vector<std::uint32_t>& palette,
                   const Bytes& stream);
// 32 bits per pixel with a 124-byte header and bit fields including alpha.
Bytes bmp32AlphaBitfields(const Picture& p);
// 24 bits per pixel with the old 12-byte header.
Bytes bmpCore24(const Picture& p);

// Colour of an indexed pixel as the loader must give it: alpha 255.
TColor32 opaqueColour(const Indexed& image, int x, int y);

// Reads and writes 32-bit little-endian fields of a file image.
void putU32(Bytes& b, std::size_t at, std::uint32_t v);
void putU16(Bytes& b, std::size_t at, std::uint16_t v);

// ---- JPEG files, through libjpeg's compressor ------------------------------

enum class JpegKind { baseline, progressive, grayscale };
// rgb: width × height × 3 bytes (grayscale uses the green byte).
Bytes encodeJpeg(int width, int height, const Bytes& rgb, JpegKind kind, int quality);
// A progressive grayscale picture in `scans` scans (1 to 694), of rgb's green bytes.
Bytes encodeGrayJpegWithScans(int width, int height, const Bytes& rgb, int scans);
// libjpeg's own decode with default parameters into RGB, for comparison.
Bytes decodeJpegReference(const Bytes& file, int& width, int& height);

// A smooth picture that compresses well: colours change slowly.
Bytes smoothRgb(int width, int height);

// ---- files ----------------------------------------------------------------

// A folder removed with its contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string write(const std::string& name, const Bytes& content) const;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

Bytes readAll(const std::filesystem::path& file);

}  // namespace tarnvale::test
