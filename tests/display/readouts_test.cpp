#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "display/colour_table.h"
#include "display/display_context.h"
#include "display/display_state.h"
#include "display/readouts.h"
#include "raster/bitmap32.h"
#include "settings/meter_settings.h"
#include "tests/support/bitmap_compare.h"

namespace tarnvale {
namespace {

constexpr TColor32 kSkin = 0x00405060;
constexpr TColor32 kBlack = 0x00000000;

// Arial 12 bold in white, as the readouts must be written.
TFont expectedFont() {
  TFont f;
  f.Name = "Arial";
  f.Size = 12;
  f.Style = TFontStyles{TFontStyle::fsBold};
  f.Color = 0xFFFFFF;
  return f;
}

struct Placed {
  int x, y;
  std::string text;
};

// The top-left width × height of `from`.
void crop(const TBitmap32& from, int width, int height, TBitmap32& to) {
  to.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) to.ScanLine(y)[x] = from.ScanLine(y)[x];
}

// Smallest rectangle around the pixels that are neither skin nor box.
TRect textInk(const TBitmap32& b) {
  TRect r{b.Width(), b.Height(), 0, 0};
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const TColor32 p = b.ScanLine(y)[x];
      if (p != kSkin && p != kBlack)
        r = {std::min(r.Left, x), std::min(r.Top, y), std::max(r.Right, x + 1),
             std::max(r.Bottom, y + 1)};
    }
  return r.isEmpty() ? TRect{} : r;
}

class ReadoutsTest : public ::testing::Test {
 protected:
  void draw(const std::string& left, const std::string& right) {
    drawReadoutTexts(DisplayContext{bitmap, settings, table, displayState}, left, right);
  }

  MeterSettings settings;
  ColourTable table{};
  DisplayState displayState;
  TBitmap32 bitmap;
};

TEST_F(ReadoutsTest, BoxesAndTextsOfEveryLayout) {
  const std::string left = "  -3.5", right = " -12.0";
  TBitmap32 measure;
  measure.Font().Assign(expectedFont());
  const int w = measure.TextWidth(right);
  const int cell = measure.TextHeight(right);
  ASSERT_GT(w, 20);

  const struct {
    const char* what;
    bool vertical;
    std::int32_t mode;
    int width, height, imageHeight;
    std::vector<TRect> boxes;
    std::vector<Placed> texts;
    int referenceHeight;  // the layout's full height, when the bitmap cuts it
  } cases[] = {
      {"vertical stereo",
       true,
       0,
       150,
       600,
       600,
       {{21, 558, 129, 578}},
       {{27, 558, left}, {75 - w / 2 + 20, 558, right}},
       0},
      {"vertical stereo, nominal height not the bitmap's",
       true,
       0,
       150,
       650,
       600,
       {{21, 558, 129, 578}},
       {{27, 558, left}, {75 - w / 2 + 20, 558, right}},
       0},
      {"vertical stereo, odd width",
       true,
       0,
       241,
       600,
       600,
       {{66, 558, 174, 578}},
       {{72, 558, left}, {120 - w / 2 + 20, 558, right}},
       0},
      {"vertical mono left", true, 1, 150, 600, 600, {{45, 558, 105, 578}}, {{51, 558, left}}, 0},
      {"vertical mono right", true, 2, 150, 600, 600, {{45, 558, 105, 578}}, {{51, 558, right}}, 0},
      {"vertical mono L+R", true, 3, 150, 600, 600, {{45, 558, 105, 578}}, {{51, 558, left}}, 0},
      {"vertical unknown mode", true, 9, 150, 600, 600, {{45, 558, 105, 578}}, {}, 0},
      {"horizontal stereo",
       false,
       0,
       600,
       150,
       150,
       {{2, 52, 50, 72}, {2, 96, 50, 116}},
       {{8, 52, left}, {8, 96, right}},
       0},
      {"horizontal stereo, odd height",
       false,
       0,
       600,
       101,
       101,
       {{2, 27, 50, 47}, {2, 71, 50, 91}},
       {{8, 27, left}, {8, 71, right}},
       0},
      {"horizontal mono left", false, 1, 600, 150, 150, {{0, 69, 48, 89}}, {{6, 69, left}}, 0},
      {"horizontal mono right", false, 2, 600, 150, 150, {{0, 69, 48, 89}}, {{6, 69, right}}, 0},
      {"horizontal mono L+R", false, 3, 600, 150, 150, {{0, 69, 48, 89}}, {{6, 69, left}}, 0},
      {"horizontal unknown mode", false, -1, 600, 150, 150, {{0, 69, 48, 89}}, {}, 0},
      // Too small for the layout: cut at the bitmap's edge, nothing beyond it.
      {"vertical stereo, cut",
       true,
       0,
       150,
       566,
       600,
       {{21, 558, 129, 578}},
       {{27, 558, left}, {75 - w / 2 + 20, 558, right}},
       600},
      {"vertical stereo, all outside",
       true,
       0,
       150,
       300,
       600,
       {{21, 558, 129, 578}},
       {{27, 558, left}, {75 - w / 2 + 20, 558, right}},
       600},
  };
  for (const auto& c : cases) {
    settings.vertical = c.vertical;
    settings.channelMode = c.mode;
    displayState.imageHeight = c.imageHeight;
    test::paintUniform(bitmap, c.width, c.height, kSkin);
    draw(left, right);

    TBitmap32 reference;
    test::paintUniform(reference, c.width, std::max(c.height, c.referenceHeight), kSkin);
    reference.Font().Assign(expectedFont());
    for (const TRect& box : c.boxes) test::paintRect(reference, box, kBlack);
    for (const Placed& t : c.texts) reference.Textout(t.x, t.y, t.text);
    TBitmap32 expected;
    crop(reference, c.width, c.height, expected);
    EXPECT_TRUE(test::samePixels(bitmap, expected)) << c.what;

    // Independently of the reference: the ink lies in the text cells.
    TRect cells{c.width, c.height, 0, 0};
    for (const Placed& t : c.texts)
      cells = {std::min(cells.Left, t.x), std::min(cells.Top, t.y),
               std::max(cells.Right, t.x + bitmap.TextWidth(t.text) + 1),
               std::max(cells.Bottom, t.y + cell)};
    const TRect ink = textInk(bitmap);
    if (c.texts.empty() || c.height <= c.texts.front().y) {  // nothing to see
      EXPECT_EQ(ink, TRect{}) << c.what;
    } else {
      ASSERT_FALSE(ink.isEmpty()) << c.what;
      EXPECT_TRUE(cells.contains(ink)) << c.what;
    }
  }
}

TEST_F(ReadoutsTest, NominalHeightsAtTheEndsOfTheirRangeWriteNothing) {
  TBitmap32 untouched;
  test::paintUniform(untouched, 150, 600, kSkin);
  for (std::int32_t mode : {0, 1}) {
    for (std::int32_t height :
         {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()}) {
      settings.channelMode = mode;
      displayState.imageHeight = height;
      test::paintUniform(bitmap, 150, 600, kSkin);
      draw(" -99.0", "  -3.5");
      EXPECT_TRUE(test::samePixels(bitmap, untouched)) << mode << " " << height;
    }
  }
}

TEST_F(ReadoutsTest, EachCallReplacesThePreviousTexts) {
  settings.vertical = false;
  test::paintUniform(bitmap, 600, 150, kSkin);
  draw(" -99.0", " -99.0");
  draw("  -1.0", "  -2.0");
  TBitmap32 fresh;
  std::swap(fresh, bitmap);
  test::paintUniform(bitmap, 600, 150, kSkin);
  draw("  -1.0", "  -2.0");
  EXPECT_TRUE(test::samePixels(fresh, bitmap));
}

TEST_F(ReadoutsTest, TheFontIsSetOnTheWorkBitmap) {
  test::paintUniform(bitmap, 150, 600, kSkin);
  bitmap.Font().Name = "Courier";
  bitmap.Font().Size = 30;
  draw("  -3.5", "  -3.5");
  EXPECT_EQ(bitmap.Font(), expectedFont());
}

}  // namespace
}  // namespace tarnvale
