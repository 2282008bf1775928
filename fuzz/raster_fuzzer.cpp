// Loads arbitrary bytes as a BMP or JPEG file. Any outcome but a clean load
// or a RasterError is a fault.
#include <cstddef>
#include <cstdint>

#include "fuzz/raster_fuzz_input.h"
#include "raster/bitmap32.h"
#include "raster/raster_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  tarnvale::TBitmap32 bitmap;
  try {
    bitmap.LoadFromMemory(data + 1, size - 1, tarnvale::fuzz::rasterFuzzFileName(data[0]));
  } catch (const tarnvale::RasterError&) {
    return 0;
  }
  // What loaded must be consistent: every pixel readable.
  std::uint32_t sum = 0;
  for (long i = 0; i < static_cast<long>(bitmap.Width()) * bitmap.Height(); ++i)
    sum += bitmap.Bits()[i];
  return static_cast<int>(sum & 0);
}
