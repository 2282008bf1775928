// Writes the raster fuzzer's seed files into the folder given:
//   raster_seed_writer fuzz/raster_seeds
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "fuzz/raster_fuzz_input.h"
#include "tests/raster/image_files.h"

using namespace tarnvale;
using namespace tarnvale::test;

namespace {

Indexed indexed(std::mt19937& rng, int w, int h, int bitCount) {
  Indexed image{w, h, {}, {}};
  for (int i = 0; i < (1 << bitCount); ++i) image.palette.push_back(rng() & 0x00FFFFFF);
  for (int i = 0; i < w * h; ++i)
    image.index.push_back(static_cast<std::uint8_t>((i / 3) % (1 << bitCount)));
  return image;
}

void write(const std::filesystem::path& dir, const std::string& name, std::uint8_t selector,
           const Bytes& file) {
  std::ofstream out(dir / name, std::ios::binary);
  out.put(static_cast<char>(selector));
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  std::mt19937 rng(42);
  const Picture p = randomPicture(rng, 7, 5);
  const Bytes rgb = smoothRgb(19, 11);
  const std::uint8_t bmp = fuzz::kBmpSelector, jpg = fuzz::kJpegSelector;
  write(dir, "bmp32.bin", bmp, bmp32(p));
  write(dir, "bmp32-top-down.bin", bmp, bmp32(p, true));
  write(dir, "bmp24.bin", bmp, bmp24(p));
  write(dir, "bmp24-core.bin", bmp, bmpCore24(p));
  write(dir, "bmp16-565.bin", bmp, bmp16(p, true));
  write(dir, "bmp32-alpha-fields.bin", bmp, bmp32AlphaBitfields(p));
  write(dir, "bmp1.bin", bmp, bmpIndexed(indexed(rng, 9, 4, 1), 1));
  write(dir, "bmp4.bin", bmp, bmpIndexed(indexed(rng, 9, 4, 4), 4));
  write(dir, "bmp8.bin", bmp, bmpIndexed(indexed(rng, 9, 4, 8), 8));
  write(dir, "bmp-rle4.bin", bmp, bmpRle(indexed(rng, 13, 4, 4), 4));
  write(dir, "bmp-rle8.bin", bmp, bmpRle(indexed(rng, 13, 4, 8), 8));
  write(dir, "jpeg-baseline.bin", jpg, encodeJpeg(19, 11, rgb, JpegKind::baseline, 75));
  write(dir, "jpeg-progressive.bin", jpg, encodeJpeg(19, 11, rgb, JpegKind::progressive, 75));
  write(dir, "jpeg-gray.bin", jpg, encodeJpeg(19, 11, rgb, JpegKind::grayscale, 75));
  return 0;
}
