// The fuzzer's committed seeds are real pictures, so fuzzing starts from
// inputs that reach every decoder.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/raster_fuzz_input.h"
#include "raster/bitmap32.h"
#include "tests/raster/image_files.h"

namespace tarnvale {
namespace {

TEST(RasterFuzzSeeds, EveryOneLoads) {
  int seeds = 0;
  for (const auto& entry : std::filesystem::directory_iterator(TARNVALE_RASTER_SEEDS)) {
    const test::Bytes bytes = test::readAll(entry.path());
    ASSERT_GT(bytes.size(), 1u);
    TBitmap32 b;
    EXPECT_NO_THROW(
        b.LoadFromMemory(bytes.data() + 1, bytes.size() - 1, fuzz::rasterFuzzFileName(bytes[0])))
        << entry.path();
    EXPECT_FALSE(b.Empty()) << entry.path();
    ++seeds;
  }
  EXPECT_GE(seeds, 10);
}

}  // namespace
}  // namespace tarnvale
