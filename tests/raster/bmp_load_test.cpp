#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "raster/bitmap32.h"
#include "raster/raster_error.h"
#include "tests/raster/image_files.h"

namespace tarnvale {
namespace {

using test::Bytes;
using test::Indexed;
using test::Picture;

Picture withAlpha(Picture p, TColor32 alpha) {
  for (auto& px : p.pixels) px = (px & 0x00FFFFFF) | alpha;
  return p;
}

Indexed randomIndexed(std::mt19937& rng, int w, int h, int bitCount) {
  Indexed image{w, h, {}, {}};
  const int colours = 1 << bitCount;
  for (int i = 0; i < colours; ++i) image.palette.push_back(rng() & 0x00FFFFFF);
  // Runs of equal indices mixed with single ones, so RLE uses both modes.
  std::uniform_int_distribution<int> index(0, colours - 1), runLength(1, 9);
  while (static_cast<int>(image.index.size()) < w * h) {
    const auto v = static_cast<std::uint8_t>(index(rng));
    for (int n = runLength(rng); n > 0 && static_cast<int>(image.index.size()) < w * h; --n)
      image.index.push_back(v);
  }
  return image;
}

Picture expand(const Indexed& image) {
  Picture p{image.width, image.height, {}};
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) p.pixels.push_back(test::opaqueColour(image, x, y));
  return p;
}

// Channels kept to 5 bits (6 for green in 5-6-5): the reader may widen them
// back to 8 bits by shifting or by scaling, but the top bits must match.
constexpr TColor32 k555 = 0xFFF8F8F8, k565 = 0xFFF8FCF8;

class BmpLoad : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::mt19937 rng{1234};
};

TEST_F(BmpLoad, EveryKindLoadsWithItsPixels) {
  const Picture p = test::randomPicture(rng, 13, 7);
  const Indexed i1 = randomIndexed(rng, 19, 5, 1);
  const Indexed i4 = randomIndexed(rng, 11, 6, 4);
  const Indexed i8 = randomIndexed(rng, 23, 9, 8);
  const Indexed r4 = randomIndexed(rng, 37, 8, 4);
  const Indexed r8 = randomIndexed(rng, 41, 7, 8);
  const struct {
    const char* name;
    Bytes file;
    Picture expected;
    TColor32 compared = 0xFFFFFFFF;  // bits that must match
  } cases[] = {
      {"32 bits keeps stored alpha", test::bmp32(p), p},
      {"32 bits top-down", test::bmp32(p, true), p},
      {"24 bits", test::bmp24(p), withAlpha(p, 0xFF000000)},
      {"24 bits top-down", test::bmp24(p, true), withAlpha(p, 0xFF000000)},
      {"24 bits, 12-byte header", test::bmpCore24(p), withAlpha(p, 0xFF000000)},
      {"16 bits 5-5-5", test::bmp16(p, false), withAlpha(p, 0xFF000000), k555},
      {"16 bits 5-6-5 bit fields", test::bmp16(p, true), withAlpha(p, 0xFF000000), k565},
      {"32 bits with alpha bit fields", test::bmp32AlphaBitfields(p), p},
      {"1 bit", test::bmpIndexed(i1, 1), expand(i1)},
      {"4 bits", test::bmpIndexed(i4, 4), expand(i4)},
      {"8 bits", test::bmpIndexed(i8, 8), expand(i8)},
      {"8 bits top-down", test::bmpIndexed(i8, 8, true), expand(i8)},
      {"RLE4", test::bmpRle(r4, 4), expand(r4)},
      {"RLE8", test::bmpRle(r8, 8), expand(r8)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir.write("image.bmp", c.file);
    TBitmap32 b;
    std::vector<TRect> changes;
    b.SetOnChange([&](const TRect& r) { changes.push_back(r); });
    ASSERT_NO_THROW(b.LoadFromFile(file));
    ASSERT_EQ(b.Width(), c.expected.width);
    ASSERT_EQ(b.Height(), c.expected.height);
    const Picture got = test::pixelsOf(b);
    for (int y = 0; y < got.height; ++y)
      for (int x = 0; x < got.width; ++x)
        ASSERT_EQ(got.at(x, y) & c.compared, c.expected.at(x, y) & c.compared)
            << "at " << x << "," << y;
    EXPECT_EQ(changes, (std::vector<TRect>{{0, 0, c.expected.width, c.expected.height}}));
  }
}

// Files that must fail, each with what its error must say.
TEST_F(BmpLoad, BrokenFilesFailNamingTheFileAndLeaveTheBitmapAsItWas) {
  const Picture p = test::randomPicture(rng, 16, 12);
  auto header32 = [&](std::int32_t w, std::int32_t h) {
    Bytes b = test::bmp32(Picture{1, 1, {0}});
    test::putU32(b, 18, static_cast<std::uint32_t>(w));
    test::putU32(b, 22, static_cast<std::uint32_t>(h));
    return b;
  };
  auto header8 = [&](std::int32_t w, std::int32_t h) {
    Bytes b = test::bmpIndexed(randomIndexed(rng, 4, 4, 8), 8);
    test::putU32(b, 18, static_cast<std::uint32_t>(w));
    test::putU32(b, 22, static_cast<std::uint32_t>(h));
    return b;
  };
  Bytes truncated32 = test::bmp32(p);
  truncated32.resize(truncated32.size() - 5);
  Bytes truncated24 = test::bmp24(p);
  truncated24.resize(200);
  Bytes truncated8 = test::bmpIndexed(randomIndexed(rng, 30, 20, 8), 8);
  truncated8.resize(truncated8.size() - 31);
  Bytes truncatedRle8 = test::bmpRle(randomIndexed(rng, 30, 20, 8), 8);
  truncatedRle8.resize(54 + 256 * 4 + 20);  // ends in the first rows
  Bytes truncatedRle4 = test::bmpRle(randomIndexed(rng, 30, 20, 4), 4);
  truncatedRle4.resize(54 + 16 * 4 + 20);
  Bytes rleMismatch = test::bmpRle(randomIndexed(rng, 8, 8, 8), 8);
  test::putU16(rleMismatch, 28, 4);
  Bytes rleTopDown = test::bmpRle(randomIndexed(rng, 8, 8, 8), 8);
  test::putU32(rleTopDown, 22, static_cast<std::uint32_t>(-8));
  Bytes jpegInside = test::bmp24(p);
  test::putU32(jpegInside, 30, 4);
  Bytes badHeaderSize = test::bmp24(p);
  test::putU32(badHeaderSize, 14, 8);
  const Bytes whole32 = test::bmp32(p);
  Bytes notBmp(100, 'x');
  const struct {
    const char* name;
    const char* fileName;
    Bytes file;
    const char* reason;
  } cases[] = {
      {"32 bits cut short", "a.bmp", truncated32, "ends before its pixel rows"},
      {"24 bits cut short", "a.bmp", truncated24, "ends before its pixel rows"},
      {"8 bits cut short", "a.bmp", truncated8, "ends before its pixel rows"},
      {"RLE8 cut short", "a.bmp", truncatedRle8, "ends before its pixel rows"},
      {"RLE4 cut short", "a.bmp", truncatedRle4, "ends before its pixel rows"},
      {"RLE8 of 4 bits per pixel", "a.bmp", rleMismatch, "cannot be decoded"},
      {"RLE8 top-down", "a.bmp", rleTopDown, "cannot be decoded"},
      {"JPEG inside", "a.bmp", jpegInside, "cannot be decoded"},
      {"shorter than 54 bytes", "a.bmp", Bytes(whole32.begin(), whole32.begin() + 53),
       "shorter than 54 bytes"},
      {"empty file", "a.bmp", Bytes{}, "shorter than 54 bytes"},
      {"32 bits absurd size", "a.bmp", header32(100000, 100000), "too large"},
      {"32 bits 16385 wide", "a.bmp", header32(16385, 1), "too large"},
      {"32 bits over 256 MiB", "a.bmp", header32(16384, -4097), "too large"},
      {"32 bits lowest height", "a.bmp", header32(1, INT32_MIN), "too large"},
      {"8 bits absurd size", "a.bmp", header8(60000, 60000), "too large"},
      {"8 bits over 256 MiB", "a.bmp", header8(9000, 9000), "too large"},
      {"header size 8", "a.bmp", badHeaderSize, "header is not valid"},
      {"not a bitmap", "a.bmp", notBmp, "not a bitmap"},
      {"unknown kind", "a.png", notBmp, "no decoder"},
      {"no extension", "image", notBmp, "no decoder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir.write(c.fileName, c.file);
    TBitmap32 b;
    test::paint(b, p);
    int notified = 0;
    b.SetOnChange([&](const TRect&) { ++notified; });
    try {
      b.LoadFromFile(file);
      ADD_FAILURE() << "loaded";
    } catch (const RasterError& e) {
      EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
    EXPECT_EQ(test::pixelsOf(b).pixels, p.pixels);
    EXPECT_EQ(b.Width(), 16);
    EXPECT_EQ(notified, 0);
  }
}

// Pixels a run-length stream skips stay as on a cleared bitmap: black, opaque.
TEST_F(BmpLoad, RunLengthSkipsLeaveBlack) {
  const std::vector<std::uint32_t> palette = {0x00112233, 0x00445566, 0x00778899};
  constexpr TColor32 k0 = 0xFF112233, k1 = 0xFF445566, k2 = 0xFF778899, kSkipped = 0xFF000000;
  const struct {
    const char* name;
    int bitCount;
    Bytes stream;               // a 4 × 3 picture
    std::vector<TColor32> top;  // expected rows, from the top
  } cases[] = {
      {"complete",
       8,
       {4, 1, 0, 0, 4, 2, 0, 0, 4, 0, 0, 1},
       {k0, k0, k0, k0, k2, k2, k2, k2, k1, k1, k1, k1}},
      {"early end of line",
       8,
       {2, 1, 0, 0, 4, 2, 0, 0, 1, 0, 0, 1},
       {k0, kSkipped, kSkipped, kSkipped, k2, k2, k2, k2, k1, k1, kSkipped, kSkipped}},
      {"early end of bitmap",
       8,
       {3, 1, 0, 1},
       {kSkipped, kSkipped, kSkipped, kSkipped, kSkipped, kSkipped, kSkipped, kSkipped, k1, k1, k1,
        kSkipped}},
      {"delta",
       8,
       {1, 2, 0, 2, 2, 1, 1, 1, 0, 1},
       {kSkipped, kSkipped, kSkipped, kSkipped, kSkipped, kSkipped, kSkipped, k1, k2, kSkipped,
        kSkipped, kSkipped}},
      {"run past the row, index past the palette",
       8,
       {6, 2, 0, 0, 2, 9, 0, 1},
       {kSkipped, kSkipped, kSkipped, kSkipped, kSkipped, kSkipped, kSkipped, kSkipped, k2, k2, k2,
        k2}},
      {"4 bits, absolute group",
       4,
       {0, 3, 0x12, 0x10, 0, 0, 4, 0x20, 0, 1},
       {kSkipped, kSkipped, kSkipped, kSkipped, k2, k0, k2, k0, k1, k2, k1, kSkipped}},
      {"no end mark after the last row",
       8,
       {4, 1, 0, 0, 4, 1, 0, 0, 4, 1},
       {k1, k1, k1, k1, k1, k1, k1, k1, k1, k1, k1, k1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TBitmap32 b;
    ASSERT_NO_THROW(b.LoadFromFile(
        dir.write("rle.bmp", test::bmpRleStream(4, 3, c.bitCount, palette, c.stream))));
    EXPECT_EQ(test::pixelsOf(b).pixels, c.top);
  }
}

TEST_F(BmpLoad, MissingFileFails) {
  TBitmap32 b;
  const std::string file = (dir.path() / "none.bmp").string();
  try {
    b.LoadFromFile(file);
    FAIL() << "loaded";
  } catch (const RasterError& e) {
    EXPECT_NE(std::string(e.what()).find(file), std::string::npos);
  }
  EXPECT_THROW(b.LoadFromFile(dir.path().string()), RasterError);  // a folder
  // A FIFO fails at once rather than waiting for a writer.
  const std::string fifo = (dir.path() / "fifo.bmp").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THROW(b.LoadFromFile(fifo), RasterError);
}

TEST_F(BmpLoad, ZeroAndNegativeWidthsGiveAnEmptyBitmap) {
  for (std::int32_t w : {0, -5}) {
    Bytes b = test::bmp32(Picture{1, 1, {0}});
    test::putU32(b, 18, static_cast<std::uint32_t>(w));
    TBitmap32 bitmap;
    bitmap.SetSize(3, 3);
    bitmap.LoadFromFile(dir.write("w.bmp", b));
    EXPECT_TRUE(bitmap.Empty()) << w;
  }
}

TEST_F(BmpLoad, ThirtyTwoBitRowsStartRightAfterTheHeaders) {
  // The pixel-data offset field is not consulted.
  const Picture p = test::randomPicture(rng, 3, 2);
  Bytes b = test::bmp32(p);
  test::putU32(b, 10, 4000);
  TBitmap32 bitmap;
  bitmap.LoadFromFile(dir.write("o.bmp", b));
  EXPECT_EQ(test::pixelsOf(bitmap).pixels, p.pixels);
}

TEST_F(BmpLoad, FromMemoryUsesTheNameForKindAndMessages) {
  const Picture p = test::randomPicture(rng, 5, 4);
  const Bytes file = test::bmp32(p);
  TBitmap32 b;
  b.LoadFromMemory(file.data(), file.size(), "skin.jpg");  // "BM" decides, not the name
  EXPECT_EQ(test::pixelsOf(b).pixels, p.pixels);
  try {
    b.LoadFromMemory(file.data(), 20, "memory-skin.bmp");
    FAIL() << "loaded";
  } catch (const RasterError& e) {
    EXPECT_NE(std::string(e.what()).find("memory-skin.bmp"), std::string::npos);
  }
}

}  // namespace
}  // namespace tarnvale
