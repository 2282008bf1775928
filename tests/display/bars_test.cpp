#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "display/bars.h"
#include "display/colour_table.h"
#include "display/display_context.h"
#include "display/display_state.h"
#include "raster/bitmap32.h"
#include "settings/meter_settings.h"
#include "tests/support/bitmap_compare.h"

namespace tarnvale {
namespace {

constexpr TColor32 kSkin = 0x00102030;
constexpr TColor32 kBase = 0x0000FF00;
constexpr TColor32 kMid = 0x00FFFF00;
constexpr TColor32 kTop = 0x00FF0000;
constexpr TColor32 kPeak = 0x00ABCDEF;
constexpr TColor32 kNotUniform = 0xDEADBEEF;
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// Flat zones at the default boundaries: 0..31 base, 32..53 mid, 54..63 top.
TColor32 flatZone(int block) {
  return block < 32 ? kBase : block <= 53 ? kMid : kTop;
}

struct BarValues {
  std::int32_t position = 0;
  bool clipLatched = false;
  std::int32_t hold = 0;
  std::int32_t average = 0;
};

class BarsTest : public ::testing::Test {
 protected:
  BarsTest() {
    settings.baseColor = static_cast<std::int32_t>(kBase);
    settings.midColor = static_cast<std::int32_t>(kMid);
    settings.topColor = static_cast<std::int32_t>(kTop);
    settings.peakColor = static_cast<std::int32_t>(kPeak);
    settings.blend = false;
    buildColourTable(table, settings);
  }

  void skin(int width, int height) { test::paintUniform(bitmap, width, height, kSkin); }

  void draw(bool vertical, std::int32_t cross, const BarValues& v) {
    const DisplayContext context{bitmap, settings, table, displayState};
    if (vertical)
      drawVerticalBar(context, v.position, cross, v.clipLatched, v.hold, v.average);
    else
      drawHorizontalBar(context, v.position, cross, v.clipLatched, v.hold, v.average);
  }

  // Block i of a bar at `cross`, with the bar's geometry worked out on the
  // test's side: 8-pixel pitch on the 512 pixels centred along the bitmap.
  TRect blockRect(bool vertical, std::int32_t cross, int i) const {
    const int extent = settings.blocks ? 7 : 8;
    if (vertical) {
      const int bottom = bitmap.Height() - (bitmap.Height() - 512) / 2;
      return {cross, bottom - 8 * i, cross + settings.barWidth, bottom - 8 * i + extent};
    }
    const int left = (bitmap.Width() - 512) / 2;
    return {left + 8 * i, cross - settings.barWidth, left + 8 * i + extent, cross};
  }

  // The colour of each of the 64 blocks, read over its whole rectangle.
  std::vector<TColor32> blockColours(bool vertical, std::int32_t cross) const {
    std::vector<TColor32> colours;
    for (int i = 0; i < 64; ++i) {
      const TRect r = blockRect(vertical, cross, i);
      const TColor32 first = bitmap.ScanLine(r.Top)[r.Left];
      TColor32 colour = first;
      for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x)
          if (bitmap.ScanLine(y)[x] != first) colour = kNotUniform;
      colours.push_back(colour);
    }
    return colours;
  }

  // Flat zone colours on the first `lit` blocks, unlit above.
  static std::vector<TColor32> litBlocks(int lit) {
    std::vector<TColor32> colours;
    for (int i = 0; i < 64; ++i) colours.push_back(i < lit ? flatZone(i) : kUnlitColour);
    return colours;
  }

  MeterSettings settings;  // barWidth 20, blocks on
  ColourTable table{};
  DisplayState displayState;
  TBitmap32 bitmap;
};

TEST_F(BarsTest, BlocksAndClipBoxCoverExactlyTheirRectangles) {
  const struct {
    bool vertical;
    int width, height;
    std::int32_t cross;
    bool blocks;
    TRect block0, clipBox;
  } cases[] = {
      {true, 100, 600, 30, true, {30, 556, 50, 563}, {30, 23, 50, 30}},  // 7-row clip box
      {true, 100, 600, 30, false, {30, 556, 50, 564}, {30, 22, 50, 30}},
      {true, 100, 601, 30, true, {30, 557, 50, 564}, {30, 24, 50, 31}},
      {true, 100, 555, 30, false, {30, 534, 50, 542}, {30, 0, 50, 8}},       // the smallest fit
      {true, 100, 300, 30, true, {30, 406, 50, 413}, {30, -127, 50, -120}},  // too short: cut
      {true, 40, 600, 30, true, {30, 556, 50, 563}, {30, 23, 50, 30}},       // past the right edge
      {false, 600, 100, 60, true, {44, 40, 51, 60}, {572, 40, 580, 60}},     // 8-column clip box
      {false, 600, 100, 60, false, {44, 40, 52, 60}, {572, 40, 580, 60}},
      {false, 601, 100, 60, true, {44, 40, 51, 60}, {572, 40, 580, 60}},
      {false, 559, 100, 60, false, {23, 40, 31, 60}, {551, 40, 559, 60}},     // the smallest fit
      {false, 400, 100, 10, true, {-56, -10, -49, 10}, {472, -10, 480, 10}},  // too small: cut
  };
  for (const auto& c : cases) {
    for (bool clip : {true, false}) {
      settings.blocks = c.blocks;
      skin(c.width, c.height);
      draw(c.vertical, c.cross, {512, clip, 0, 0});

      TBitmap32 expected;
      test::paintUniform(expected, c.width, c.height, kSkin);
      for (int i = 0; i < 64; ++i) {
        const TRect r = c.vertical ? TRect{c.block0.Left, c.block0.Top - 8 * i, c.block0.Right,
                                           c.block0.Bottom - 8 * i}
                                   : TRect{c.block0.Left + 8 * i, c.block0.Top,
                                           c.block0.Right + 8 * i, c.block0.Bottom};
        test::paintRect(expected, r, flatZone(i));
      }
      test::paintRect(expected, c.clipBox, clip ? kClipLitColour : kUnlitColour);
      EXPECT_TRUE(test::samePixels(bitmap, expected))
          << (c.vertical ? "vertical " : "horizontal ") << c.width << "x" << c.height << " blocks "
          << c.blocks << " clip " << clip;
    }
  }
}

TEST_F(BarsTest, BarMinimumIsFiveVerticallyAndTenHorizontally) {
  const struct {
    bool vertical;
    std::int32_t position;
    int lit;
  } cases[] = {
      {true, 1, 0},   {true, 4, 0},     {true, 5, 1},     {true, 7, 1},    {true, 8, 2},
      {true, 9, 2},   {true, 503, 63},  {true, 504, 64},  {true, 512, 64}, {false, 1, 0},
      {false, 4, 0},  {false, 5, 0},    {false, 9, 0},    {false, 10, 2},  {false, 15, 2},
      {false, 16, 3}, {false, 504, 64}, {false, 512, 64},
  };
  for (const auto& c : cases) {
    skin(c.vertical ? 100 : 600, c.vertical ? 600 : 100);
    draw(c.vertical, 60, {c.position, false, 0, 0});
    EXPECT_EQ(blockColours(c.vertical, 60), litBlocks(c.lit))
        << (c.vertical ? "vertical " : "horizontal ") << c.position;
  }
}

TEST_F(BarsTest, HoldAndAverageBlocks) {
  const struct {
    const char* what;
    std::int32_t position, hold, average;
    bool colouredPeaks, showAverage;
    int lit;
    std::vector<std::pair<int, TColor32>> marks;  // blocks that differ from plain lighting
  } cases[] = {
      {"hold 0 is none", 0, 0, 0, true, true, 0, {}},
      {"hold 7 is none", 0, 7, 0, true, true, 0, {}},
      {"hold 512 is index 64: none", 0, 512, 0, true, true, 0, {}},
      {"hold above the lit part", 100, 300, 0, true, true, 13, {{37, kPeak}}},
      {"uncoloured hold above the lit part", 100, 300, 0, false, true, 13, {{37, kMid}}},
      {"hold inside the lit part", 100, 50, 0, true, true, 13, {{6, kPeak}}},
      {"hold 8 is block 1", 0, 8, 0, true, true, 0, {{1, kPeak}}},
      {"average over hold", 100, 300, 300, true, true, 13, {{37, kAverageColour}}},
      {"hidden average leaves the hold", 100, 300, 300, true, false, 13, {{37, kPeak}}},
      {"average 7 is none", 100, 0, 7, true, true, 13, {}},
      {"average 512 is none", 100, 0, 512, true, true, 13, {}},
      {"average and hold apart",
       200,
       511,
       160,
       true,
       true,
       26,
       {{63, kPeak}, {20, kAverageColour}}},
  };
  for (bool vertical : {true, false}) {
    for (const auto& c : cases) {
      settings.colouredPeaks = c.colouredPeaks;
      settings.showAverage = c.showAverage;
      skin(vertical ? 100 : 600, vertical ? 600 : 100);
      draw(vertical, 60, {c.position, false, c.hold, c.average});
      std::vector<TColor32> expected = litBlocks(c.lit);
      for (const auto& [block, colour] : c.marks)
        expected[static_cast<std::size_t>(block)] = colour;
      EXPECT_EQ(blockColours(vertical, 60), expected)
          << c.what << (vertical ? " (vertical)" : " (horizontal)");
    }
  }
}

TEST_F(BarsTest, UncolouredHoldTakesTheGradedZoneColour) {
  settings.blend = true;
  settings.colouredPeaks = false;
  buildColourTable(table, settings);
  skin(100, 600);
  draw(true, 30, {100, false, 300, 0});
  const std::vector<TColor32> colours = blockColours(true, 30);
  EXPECT_EQ(colours[37], table[37]);
  EXPECT_EQ(colours[5], table[5]);
  EXPECT_EQ(colours[13], kUnlitColour);
  EXPECT_NE(table[37], kMid);  // graded, not flat
}

TEST_F(BarsTest, NothingOfAZeroOrNegativeWidthBar) {
  TBitmap32 untouched;
  for (std::int32_t width : {0, -5}) {
    for (bool vertical : {true, false}) {
      settings.barWidth = width;
      const int w = vertical ? 100 : 600, h = vertical ? 600 : 100;
      skin(w, h);
      test::paintUniform(untouched, w, h, kSkin);
      draw(vertical, 60, {512, true, 300, 200});
      EXPECT_TRUE(test::samePixels(bitmap, untouched))
          << width << (vertical ? " vertical" : " horizontal");
    }
  }
}

TEST_F(BarsTest, CoordinatesAtTheEndsOfTheirRangeStayInsideTheBitmap) {
  const struct {
    bool vertical;
    std::int32_t cross, barWidth;
    TRect changed;  // what the bar may cover
  } cases[] = {
      {true, kMin, kMax, {}},
      {true, kMax, kMax, {}},
      {true, kMax, kMin, {}},
      {true, -10, kMax, {0, 23, 100, 563}},
      {false, kMax, kMax, {44, 0, 580, 100}},
      {false, kMin, kMax, {}},
      {false, kMin, kMin, {}},
      {false, 50, kMax, {44, 0, 580, 50}},
  };
  TBitmap32 untouched;
  for (const auto& c : cases) {
    settings.barWidth = c.barWidth;
    const int w = c.vertical ? 100 : 600, h = c.vertical ? 600 : 100;
    skin(w, h);
    test::paintUniform(untouched, w, h, kSkin);
    draw(c.vertical, c.cross, {512, true, 300, 200});
    EXPECT_EQ(test::changedArea(bitmap, untouched), c.changed) << c.cross << " " << c.barWidth;
  }
  // An empty work bitmap takes no pixels at all.
  bitmap.SetSize(0, 0);
  draw(true, 0, {512, true, 300, 200});
  draw(false, 0, {512, true, 300, 200});
  EXPECT_TRUE(bitmap.Empty());
}

}  // namespace
}  // namespace tarnvale
