#include "raster/jpeg_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "raster/bitmap32.h"
#include "raster/raster_error.h"
#include "tests/raster/image_files.h"

namespace tarnvale {
namespace {

using test::Bytes;
using test::JpegKind;

constexpr int kW = 45, kH = 29;  // not a multiple of the 8 × 8 or 16 × 16 blocks

class JpegLoad : public ::testing::Test {
 protected:
  test::TempDir dir;
  const Bytes rgb = test::smoothRgb(kW, kH);
};

TEST_F(JpegLoad, DecodesLikeLibjpegItselfWithOpaqueAlpha) {
  const struct {
    const char* name;
    JpegKind kind;
    const char* fileName;
  } cases[] = {
      {"baseline", JpegKind::baseline, "skin.jpg"},
      {"progressive", JpegKind::progressive, "skin.JPG"},
      {"grayscale", JpegKind::grayscale, "skin.jpeg"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes file = test::encodeJpeg(kW, kH, rgb, c.kind, 95);
    int w = 0, h = 0;
    const Bytes want = test::decodeJpegReference(file, w, h);
    TBitmap32 b;
    std::vector<TRect> changes;
    b.SetOnChange([&](const TRect& r) { changes.push_back(r); });
    ASSERT_NO_THROW(b.LoadFromFile(dir.write(c.fileName, file)));
    ASSERT_EQ(b.Width(), kW);
    ASSERT_EQ(b.Height(), kH);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const std::uint8_t* px = want.data() + (static_cast<std::size_t>(y) * kW + x) * 3;
        const TColor32 expected =
            0xFF000000u | (TColor32{px[0]} << 16) | (TColor32{px[1]} << 8) | px[2];
        ASSERT_EQ(b.ScanLine(y)[x], expected) << x << "," << y;
        // And close to what was encoded.
        const std::uint8_t* enc = rgb.data() + (static_cast<std::size_t>(y) * kW + x) * 3;
        const TColor32 got = b.ScanLine(y)[x];
        if (c.kind == JpegKind::grayscale) {
          for (int ch = 0; ch < 3; ++ch)
            EXPECT_NEAR(static_cast<int>((got >> (8 * ch)) & 0xFF), enc[1], 3);
        } else {
          EXPECT_NEAR(static_cast<int>((got >> 16) & 0xFF), enc[0], 8);
          EXPECT_NEAR(static_cast<int>((got >> 8) & 0xFF), enc[1], 8);
          EXPECT_NEAR(static_cast<int>(got & 0xFF), enc[2], 8);
        }
      }
    EXPECT_EQ(changes, (std::vector<TRect>{{0, 0, kW, kH}}));
  }
}

TEST_F(JpegLoad, AssignTakesOverADecodedPicture) {
  const Bytes file = test::encodeJpeg(kW, kH, rgb, JpegKind::baseline, 90);
  JpegImage jpeg;
  jpeg.LoadFromFile(dir.write("a.jpg", file));
  ASSERT_EQ(jpeg.Width(), kW);
  ASSERT_EQ(jpeg.Height(), kH);
  TBitmap32 b;
  b.SetSize(3, 3);
  b.FillRect(0, 0, 3, 3, 0x00123456);
  std::vector<TRect> changes;
  b.SetOnChange([&](const TRect& r) { changes.push_back(r); });
  b.Assign(jpeg);
  ASSERT_EQ(b.Width(), kW);
  for (int i = 0; i < kW * kH; ++i) {
    const std::uint8_t* px = jpeg.Rgb() + 3 * i;
    ASSERT_EQ(b.Bits()[i], 0xFF000000u | (TColor32{px[0]} << 16) | (TColor32{px[1]} << 8) | px[2]);
  }
  EXPECT_EQ(changes, (std::vector<TRect>{{0, 0, kW, kH}}));
}

TEST_F(JpegLoad, DamagedFilesFailNamingTheFile) {
  const Bytes good = test::encodeJpeg(kW, kH, rgb, JpegKind::baseline, 90);
  const Bytes progressive = test::encodeJpeg(kW, kH, rgb, JpegKind::progressive, 90);
  // Start-of-frame marker: precision byte, then height and width.
  auto sof = [](const Bytes& f) {
    for (std::size_t i = 2; i + 1 < f.size(); ++i)
      if (f[i] == 0xFF && (f[i + 1] == 0xC0 || f[i + 1] == 0xC2)) return i + 4;
    std::abort();
  };
  auto withSize = [&](Bytes f, int w, int h) {
    const std::size_t at = sof(f);
    f[at + 1] = static_cast<std::uint8_t>(h >> 8);
    f[at + 2] = static_cast<std::uint8_t>(h);
    f[at + 3] = static_cast<std::uint8_t>(w >> 8);
    f[at + 4] = static_cast<std::uint8_t>(w);
    return f;
  };
  Bytes badPrecision = good;
  badPrecision[sof(good)] = 7;
  const struct {
    const char* name;
    Bytes file;
  } cases[] = {
      {"cut in half", Bytes(good.begin(), good.begin() + good.size() / 2)},
      {"progressive cut in half",
       Bytes(progressive.begin(), progressive.begin() + progressive.size() / 2)},
      {"without its end marker", Bytes(good.begin(), good.end() - 2)},
      {"corrupt frame header", badPrecision},
      {"not a JPEG", Bytes(200, 0x42)},
      {"absurd size", withSize(good, 60000, 60000)},
      {"over 256 MiB", withSize(good, 16000, 8000)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir.write("broken.jpg", c.file);
    TBitmap32 b;
    b.SetSize(2, 2);
    try {
      b.LoadFromFile(file);
      ADD_FAILURE() << "loaded";
    } catch (const RasterError& e) {
      EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
    }
    EXPECT_EQ(b.Width(), 2);
    JpegImage jpeg;
    EXPECT_THROW(jpeg.LoadFromFile(file), RasterError);
    EXPECT_TRUE(jpeg.Empty());
  }
}

TEST_F(JpegLoad, ProgressivePicturesOfMoreThan500ScansFail) {
  const struct {
    int scans;
    bool loads;
  } cases[] = {{12, true}, {500, true}, {501, false}, {694, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scans);
    const Bytes file = test::encodeGrayJpegWithScans(kW, kH, rgb, c.scans);
    const std::string path = dir.write("scans.jpg", file);
    JpegImage jpeg;
    if (!c.loads) {
      EXPECT_THROW(jpeg.LoadFromFile(path), RasterError);
      EXPECT_TRUE(jpeg.Empty());
      continue;
    }
    jpeg.LoadFromFile(path);
    int w = 0, h = 0;
    const Bytes reference = test::decodeJpegReference(file, w, h);
    ASSERT_EQ(jpeg.Width(), w);
    ASSERT_EQ(jpeg.Height(), h);
    EXPECT_TRUE(std::equal(reference.begin(), reference.end(), jpeg.Rgb()));
  }
}

TEST_F(JpegLoad, OnlyJpegExtensionsDecodeJpeg) {
  const Bytes file = test::encodeJpeg(kW, kH, rgb, JpegKind::baseline, 90);
  const struct {
    const char* name;
    bool loads;
  } cases[] = {{"a.jpg", true},  {"a.JpEg", true},     {"a.bmp", false},
               {"a.png", false}, {"a.jpg.bmp", false}, {"a.gif", false}};
  for (const auto& c : cases) {
    TBitmap32 b;
    if (c.loads)
      EXPECT_NO_THROW(b.LoadFromFile(dir.write(c.name, file))) << c.name;
    else
      EXPECT_THROW(b.LoadFromFile(dir.write(c.name, file)), RasterError) << c.name;
  }
}

}  // namespace
}  // namespace tarnvale
