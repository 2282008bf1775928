#include "raster/bitmap32.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

#include "raster/draft_resampler.h"
#include "tests/raster/image_files.h"

namespace tarnvale {
namespace {

using test::Picture;

constexpr TColor32 kBase = 0x11223344;
constexpr TColor32 kInk = 0x00ABCDEF;  // alpha 0 is stored as given

// A bitmap filled with kBase that records its change notifications.
struct Recorded {
  TBitmap32 bitmap;
  std::vector<TRect> changes;
  Recorded(int w, int h) {
    bitmap.SetSize(w, h);
    bitmap.FillRect(0, 0, w, h, kBase);
    bitmap.SetOnChange([this](const TRect& r) { changes.push_back(r); });
  }
  TColor32 at(int x, int y) const { return bitmap.ScanLine(y)[x]; }
};

// Every pixel is `inside` within r and kBase elsewhere.
::testing::AssertionResult filledExactly(const Recorded& b, const TRect& r, TColor32 inside) {
  for (int y = 0; y < b.bitmap.Height(); ++y)
    for (int x = 0; x < b.bitmap.Width(); ++x) {
      const bool in = x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
      const TColor32 want = in ? inside : kBase;
      if (b.at(x, y) != want)
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex
                                             << b.at(x, y) << ", not " << want;
    }
  return ::testing::AssertionSuccess();
}

TEST(FillRect, WritesOnlyInsideRectangleAndBitmap) {
  const struct {
    TRect rect;     // as passed
    TRect written;  // what lies inside the 10 × 8 bitmap
  } cases[] = {
      {{2, 1, 5, 4}, {2, 1, 5, 4}},        // inside
      {{0, 0, 10, 8}, {0, 0, 10, 8}},      // all of it
      {{7, 6, 20, 30}, {7, 6, 10, 8}},     // past right and bottom
      {{-5, -3, 2, 2}, {0, 0, 2, 2}},      // negative corner
      {{-100, 3, 100, 4}, {0, 3, 10, 4}},  // one row across and beyond
      {{4, 4, 4, 6}, {0, 0, 0, 0}},        // X2 = X1
      {{5, 4, 3, 6}, {0, 0, 0, 0}},        // X2 < X1
      {{1, 5, 3, 5}, {0, 0, 0, 0}},        // Y2 = Y1
      {{1, 5, 3, 2}, {0, 0, 0, 0}},        // Y2 < Y1
      {{10, 0, 12, 8}, {0, 0, 0, 0}},      // right of the bitmap
      {{0, -9, 10, 0}, {0, 0, 0, 0}},      // above it
      {{-2147483647, -2147483647, 2147483647, 2147483647}, {0, 0, 10, 8}},
  };
  for (const auto& c : cases) {
    Recorded b(10, 8);
    b.bitmap.FillRect(c.rect.Left, c.rect.Top, c.rect.Right, c.rect.Bottom, kInk);
    EXPECT_TRUE(filledExactly(b, c.written, kInk))
        << c.rect.Left << "," << c.rect.Top << "," << c.rect.Right << "," << c.rect.Bottom;
    const std::vector<TRect> expected =
        c.written.isEmpty() ? std::vector<TRect>{} : std::vector<TRect>{c.written};
    EXPECT_EQ(b.changes, expected) << c.rect.Left << "," << c.rect.Top;
  }
}

TEST(FillRect, NotifiesOnlyWhenAPixelChanges) {
  const struct {
    const char* what;
    int x, y;         // the one pixel that may differ before the fill
    TColor32 before;  // its colour; kBase elsewhere
    TColor32 value;
    bool notified;
  } cases[] = {
      {"every pixel already holds the value", 3, 2, kBase, kBase, false},
      {"one pixel differs", 3, 2, kInk, kBase, true},
      {"the last pixel of a row differs", 5, 4, kInk, kBase, true},
      {"only the alpha differs", 1, 1, kBase ^ 0xFF000000u, kBase, true},
      {"a new colour", 3, 2, kBase, kInk, true},
  };
  for (const auto& c : cases) {
    Recorded b(10, 8);
    b.bitmap.ScanLine(c.y)[c.x] = c.before;
    b.bitmap.FillRect(1, 1, 6, 5, c.value);
    EXPECT_TRUE(filledExactly(b, {1, 1, 6, 5}, c.value)) << c.what;
    const std::vector<TRect> expected =
        c.notified ? std::vector<TRect>{{1, 1, 6, 5}} : std::vector<TRect>{};
    EXPECT_EQ(b.changes, expected) << c.what;
  }
}

TEST(FillRect, EmptyBitmapIsLeftAlone) {
  TBitmap32 bitmap;
  int notified = 0;
  bitmap.SetOnChange([&](const TRect&) { ++notified; });
  bitmap.FillRect(0, 0, 5, 5, kInk);
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(notified, 0);
}

TEST(SetSize, KeepsPixelsOnlyWhenTheSizeStays) {
  const struct {
    int w, h;
    int width, height;  // afterwards
    bool kept;
  } cases[] = {
      {6, 4, 6, 4, true},  {6, 5, 6, 5, false},   {5, 4, 5, 4, false}, {4, 6, 4, 6, false},
      {0, 4, 0, 4, false}, {-3, -1, 0, 0, false}, {1, 1, 1, 1, false},
  };
  for (const auto& c : cases) {
    Recorded b(6, 4);
    b.bitmap.SetSize(c.w, c.h);
    ASSERT_EQ(b.bitmap.Width(), c.width);
    ASSERT_EQ(b.bitmap.Height(), c.height);
    const Picture after = test::pixelsOf(b.bitmap);
    for (TColor32 px : after.pixels) ASSERT_EQ(px, c.kept ? kBase : 0u) << c.w << "x" << c.h;
    if (c.kept)
      EXPECT_TRUE(b.changes.empty());
    else
      EXPECT_EQ(b.changes, (std::vector<TRect>{{0, 0, c.width, c.height}}));
    EXPECT_EQ(b.bitmap.Empty(), c.width == 0 || c.height == 0);
    if (b.bitmap.Empty()) {
      EXPECT_EQ(b.bitmap.Bits(), nullptr);
    }
  }
}

TEST(DrawAtPoint, CopiesTheCoveredPartOfTheSource) {
  std::mt19937 rng(7);
  const Picture src = test::randomPicture(rng, 7, 5);
  const struct {
    int x, y;
    TRect written;  // in the 6 × 4 destination
  } cases[] = {
      {0, 0, {0, 0, 6, 4}},  // larger source: top-left part only
      {2, 1, {2, 1, 6, 4}},          {-3, -2, {0, 0, 4, 3}},
      {-7, 0, {0, 0, 0, 0}},         {6, 0, {0, 0, 0, 0}},
      {0, 4, {0, 0, 0, 0}},          {-6, -4, {0, 0, 1, 1}},
      {2147483600, 0, {0, 0, 0, 0}}, {-2147483647, -2147483647, {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    Recorded d(6, 4);
    TBitmap32 s;
    test::paint(s, src);
    d.bitmap.Draw(c.x, c.y, s);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 6; ++x) {
        const bool in = x >= c.written.Left && x < c.written.Right && y >= c.written.Top &&
                        y < c.written.Bottom;
        ASSERT_EQ(d.at(x, y), in ? src.at(x - c.x, y - c.y) : kBase)
            << "at " << c.x << "," << c.y << " pixel " << x << "," << y;
      }
    const std::vector<TRect> expected =
        c.written.isEmpty() ? std::vector<TRect>{} : std::vector<TRect>{c.written};
    EXPECT_EQ(d.changes, expected) << c.x << "," << c.y;
  }
}

TEST(DrawAtPoint, OntoItselfMovesTheOriginalPixels) {
  std::mt19937 rng(8);
  const Picture original = test::randomPicture(rng, 9, 7);
  for (const auto& [dx, dy] : std::vector<std::pair<int, int>>{{2, 3}, {-2, -3}, {3, -1}, {0, 0}}) {
    TBitmap32 b;
    test::paint(b, original);
    b.Draw(dx, dy, b);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 9; ++x) {
        const int sx = x - dx, sy = y - dy;
        const bool moved = sx >= 0 && sx < 9 && sy >= 0 && sy < 7;
        ASSERT_EQ(b.ScanLine(y)[x], moved ? original.at(sx, sy) : original.at(x, y))
            << dx << "," << dy << " at " << x << "," << y;
      }
  }
}

TEST(StretchDraw, EqualSizesCopyExactly) {
  std::mt19937 rng(9);
  const Picture src = test::randomPicture(rng, 31, 17);
  for (bool draft : {false, true}) {
    TBitmap32 s, d;
    test::paint(s, src);
    if (draft) s.SetResampler(std::make_shared<TDraftResampler>());
    d.SetSize(31, 17);
    d.Draw(TRect{0, 0, 31, 17}, TRect{0, 0, 31, 17}, s);
    EXPECT_EQ(test::pixelsOf(d).pixels, src.pixels);
  }
}

// Source of w × h pixels whose value in every channel depends on the column only.
TBitmap32 columns(int w, int h, const std::vector<std::uint8_t>& values) {
  TBitmap32 b;
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.ScanLine(y)[x] = 0x01010101u * values[x % values.size()];
  return b;
}

TEST(StretchDraw, DraftExamples) {
  struct Case {
    const char* what;
    TBitmap32 src;
    int dw, dh;
    std::uint8_t expected;  // every channel of every pixel, or per column below
    std::vector<std::uint8_t> perColumn;
  };
  // 2 × 2 blocks of 0, 255 / 255, 255.
  TBitmap32 blocks;
  blocks.SetSize(240, 600);
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 240; ++x) blocks.ScanLine(y)[x] = (x % 2 == 0 && y % 2 == 0) ? 0 : ~0u;
  std::vector<Case> cases;
  cases.push_back({"2x2 of 0,255,255,255", std::move(blocks), 120, 300, 191, {}});
  cases.push_back({"three 255s", columns(300, 200, {255}), 100, 200, 254, {}});
  cases.push_back({"four 255s", columns(300, 200, {255}), 75, 100, 255, {}});
  cases.push_back({"0,255 to four columns", columns(2, 3, {0, 255}), 4, 3, 0, {0, 63, 191, 255}});
  for (auto& c : cases) {
    c.src.SetResampler(std::make_shared<TDraftResampler>());
    TBitmap32 d;
    d.SetSize(c.dw, c.dh);
    d.Draw(TRect{0, 0, c.dw, c.dh}, TRect{0, 0, c.src.Width(), c.src.Height()}, c.src);
    for (int y = 0; y < c.dh; ++y)
      for (int x = 0; x < c.dw; ++x) {
        const std::uint8_t v = c.perColumn.empty() ? c.expected : c.perColumn[x];
        ASSERT_EQ(d.ScanLine(y)[x], 0x01010101u * v) << c.what << " at " << x << "," << y;
      }
  }
}

TEST(StretchDraw, NotifiesTheWrittenPartOfTheDestinationRectangle) {
  const struct {
    TRect dst, src;
    std::vector<TRect> changes;
  } cases[] = {
      {{0, 0, 20, 10}, {0, 0, 5, 5}, {{0, 0, 20, 10}}},
      {{-4, 2, 30, 30}, {0, 0, 5, 5}, {{0, 2, 20, 10}}},
      {{0, 0, 20, 10}, {1, 1, 4, 3}, {{0, 0, 20, 10}}},
      {{0, 0, 20, 10}, {2, 2, 2, 4}, {}},   // empty source rectangle
      {{0, 0, 20, 10}, {0, 0, 6, 5}, {}},   // source rectangle past the source
      {{0, 0, 20, 10}, {-1, 0, 5, 5}, {}},  // likewise
      {{5, 5, 5, 9}, {0, 0, 5, 5}, {}},     // empty destination rectangle
      {{20, 0, 40, 10}, {0, 0, 5, 5}, {}},  // beside the destination
  };
  for (const auto& c : cases) {
    Recorded d(20, 10);
    TBitmap32 s;
    s.SetSize(5, 5);
    s.FillRect(0, 0, 5, 5, kInk);
    d.bitmap.Draw(c.dst, c.src, s);
    EXPECT_EQ(d.changes, c.changes) << c.dst.Left << "," << c.dst.Top << " " << c.src.Right;
    if (c.changes.empty()) {
      EXPECT_TRUE(filledExactly(d, {}, 0));
    }
  }
}

TEST(StretchDraw, EmptyBitmapsDrawNothing) {
  TBitmap32 empty, sized;
  sized.SetSize(4, 4);
  sized.FillRect(0, 0, 4, 4, kBase);
  int notified = 0;
  sized.SetOnChange([&](const TRect&) { ++notified; });
  sized.Draw(TRect{0, 0, 4, 4}, TRect{0, 0, 2, 2}, empty);
  sized.Draw(0, 0, empty);
  empty.Draw(TRect{0, 0, 4, 4}, TRect{0, 0, 2, 2}, sized);
  empty.Draw(0, 0, sized);
  EXPECT_EQ(notified, 0);
  EXPECT_TRUE(empty.Empty());
  for (int i = 0; i < 16; ++i) EXPECT_EQ(sized.Bits()[i], kBase);
}

TEST(StretchDraw, OntoItselfResamplesTheOriginal) {
  std::mt19937 rng(10);
  const Picture original = test::randomPicture(rng, 12, 10);
  TBitmap32 self, other, fromOther;
  test::paint(self, original);
  test::paint(other, original);
  self.SetResampler(std::make_shared<TDraftResampler>());
  other.SetResampler(self.Resampler());
  fromOther.SetSize(12, 10);
  test::paint(fromOther, original);
  self.Draw(TRect{0, 0, 12, 10}, TRect{2, 1, 8, 6}, self);
  fromOther.Draw(TRect{0, 0, 12, 10}, TRect{2, 1, 8, 6}, other);
  EXPECT_EQ(test::pixelsOf(self).pixels, test::pixelsOf(fromOther).pixels);
}

TEST(Resampler, NewBitmapsHaveTheirOwnNearestAndSharingIsByObject) {
  TBitmap32 a, b;
  EXPECT_STREQ(a.Resampler()->ClassName(), "TNearestResampler");
  EXPECT_NE(a.Resampler(), b.Resampler());
  a.SetResampler(std::make_shared<TDraftResampler>());
  b.SetResampler(a.Resampler());
  EXPECT_EQ(a.Resampler().get(), b.Resampler().get());
  EXPECT_STREQ(b.Resampler()->ClassName(), "TDraftResampler");
  b.SetResampler(nullptr);
  EXPECT_STREQ(b.Resampler()->ClassName(), "TNearestResampler");
  EXPECT_STREQ(a.Resampler()->ClassName(), "TDraftResampler");
}

TEST(Resampler, NearestTakesThePixelUnderEachCentre) {
  TBitmap32 s = columns(3, 2, {10, 20, 30});
  TBitmap32 d;
  d.SetSize(7, 4);
  d.Draw(TRect{0, 0, 7, 4}, TRect{0, 0, 3, 2}, s);
  const std::uint8_t expected[7] = {10, 10, 20, 20, 20, 30, 30};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(d.ScanLine(y)[x], 0x01010101u * expected[x]);
}

TEST(Modes, NewBitmapIsOpaqueAndCopiesAllChannels) {
  TBitmap32 s, d;
  EXPECT_EQ(s.DrawMode(), TDrawMode::dmOpaque);
  s.SetSize(2, 1);
  s.FillRect(0, 0, 2, 1, 0x00FFFFFF);
  d.SetSize(2, 1);
  d.FillRect(0, 0, 2, 1, 0xFF000000);
  d.Draw(0, 0, s);
  EXPECT_EQ(d.Bits()[0], 0x00FFFFFFu);
  EXPECT_EQ(d.Bits()[1], 0x00FFFFFFu);
}

TEST(Text, NeedsAGuiApplication) {
  TBitmap32 b;
  b.SetSize(10, 10);
  EXPECT_THROW(b.TextWidth("x"), std::logic_error);
  EXPECT_THROW(b.TextHeight("x"), std::logic_error);
  EXPECT_THROW(b.Textout(0, 0, "x"), std::logic_error);
}

TEST(Font, EmHeightAtNinetySixPixelsPerInch) {
  const struct {
    int points, pixels;
  } cases[] = {{12, 16}, {10, 13}, {8, 11}, {9, 12}, {7, 9}, {36, 48}, {1, 1}, {0, 1}, {-5, 1}};
  for (const auto& c : cases) EXPECT_EQ(emPixels(c.points), c.pixels) << c.points;
}

TEST(Font, AssignCopiesEveryAttribute) {
  TFont label;
  label.Name = "Liberation Serif";
  label.Size = 17;
  label.Style = TFontStyles{TFontStyle::fsItalic, TFontStyle::fsStrikeOut};
  label.Color = static_cast<TColor>(0xFF000012);
  TBitmap32 b;
  b.Font().Assign(label);
  EXPECT_EQ(b.Font(), label);
  EXPECT_EQ(b.Font().Style.bits(), 2 | 8);
  EXPECT_EQ(TFontStyles::fromBits(0xF1).bits(), 1);
}

}  // namespace
}  // namespace tarnvale
