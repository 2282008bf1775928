#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "display/colour_table.h"
#include "display/display_context.h"
#include "display/display_state.h"
#include "display/phase_readout.h"
#include "raster/bitmap32.h"
#include "settings/meter_settings.h"
#include "tests/support/bitmap_compare.h"

namespace tarnvale {
namespace {

constexpr TColor32 kSkin = 0x00405060;
constexpr TColor32 kRedHalf = 0x00C00000;
constexpr TColor32 kGreenHalf = 0x0000B000;
constexpr TColor32 kWhite = 0x00FFFFFF;

TFont expectedFont() {
  TFont f;
  f.Name = "Arial";
  f.Size = 10;
  f.Style = TFontStyles{TFontStyle::fsBold};
  f.Color = 0xFFFFFF;
  return f;
}

class PhaseReadoutTest : public ::testing::Test {
 protected:
  PhaseReadoutTest() {
    settings.showPhase = true;
    settings.readoutMode = 1;
    settings.channelMode = 0;
  }
  void skin(bool vertical) {
    settings.vertical = vertical;
    const int w = vertical ? 150 : 600, h = vertical ? 600 : 150;
    displayState.imageWidth = w;
    displayState.imageHeight = h;
    test::paintUniform(bitmap, w, h, kSkin);
    test::paintUniform(untouched, w, h, kSkin);
  }
  DisplayContext context() { return {bitmap, settings, table, displayState}; }

  MeterSettings settings;
  ColourTable table{};
  DisplayState displayState;
  TBitmap32 bitmap;
  TBitmap32 untouched;
};

TEST(PhaseText, SignedWholeDegreesWithTheOrdinalSign) {
  const struct {
    std::int32_t phase;
    const char* text;
  } cases[] = {{-12, "-12\u00BA"}, {0, "0\u00BA"}, {179, "179\u00BA"}, {-179, "-179\u00BA"}};
  for (const auto& c : cases) EXPECT_EQ(phaseText(c.phase), c.text);
}

TEST_F(PhaseReadoutTest, MarkerColumnsOfBothLayouts) {
  const struct {
    bool vertical;
    std::int32_t phase;
    int markerLeft;  // the marker is 4 columns wide
  } cases[] = {
      // W div 2 is 75 vertically, 300 horizontally.
      {true, 0, 118},     {true, 179, 29}, {true, -179, 29}, {true, 7, 115},    {true, 6, 115},
      {true, -7, 115},    {true, 1, 118},  {true, 90, 73},   {false, 0, 388},   {false, 179, 209},
      {false, -179, 209}, {false, 7, 381}, {false, 6, 382},  {false, -90, 298},
  };
  for (const auto& c : cases) {
    skin(c.vertical);
    drawPhaseBar(context(), c.phase);
    TBitmap32 expected;
    test::copyPixels(untouched, expected);
    const int top = c.vertical ? 548 : 134;  // imageHeight - 52, imageHeight - 16
    const int half = c.vertical ? 47 : 94;
    const int centre = c.vertical ? 75 : 300;
    test::paintRect(expected, {centre - half, top, centre, top + 8}, kRedHalf);
    test::paintRect(expected, {centre, top, centre + half, top + 8}, kGreenHalf);
    test::paintRect(expected, {c.markerLeft, top, c.markerLeft + 4, top + 8}, kWhite);
    EXPECT_TRUE(test::samePixels(bitmap, expected))
        << (c.vertical ? "vertical " : "horizontal ") << c.phase;
  }
}

TEST_F(PhaseReadoutTest, BarUsesTheNominalHeightAndCutsAnAngleOffTheScale) {
  skin(true);
  test::paintUniform(bitmap, 150, 650, kSkin);  // nominal height stays 600
  drawPhaseBar(context(), std::numeric_limits<std::int32_t>::min());
  TBitmap32 expected;
  test::paintUniform(expected, 150, 650, kSkin);
  test::paintRect(expected, {28, 548, 75, 556}, kRedHalf);
  test::paintRect(expected, {75, 548, 122, 556}, kGreenHalf);
  EXPECT_TRUE(test::samePixels(bitmap, expected));
}

TEST_F(PhaseReadoutTest, NominalHeightsAtTheEndsOfTheirRangeWriteNothing) {
  for (bool vertical : {true, false}) {
    for (std::int32_t height :
         {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()}) {
      skin(vertical);
      displayState.imageHeight = height;
      drawPhaseBar(context(), 17);
      if (vertical) drawPhaseText(context(), 17);  // the horizontal text uses H
      EXPECT_TRUE(test::samePixels(bitmap, untouched)) << vertical << " " << height;
    }
  }
}

TEST_F(PhaseReadoutTest, WhatIsDrawnForWhichSettings) {
  const struct {
    bool showPhase;
    std::int32_t readoutMode, channelMode;
    bool bar, text;
  } cases[] = {
      {true, 1, 0, true, true},    {true, 2, 0, true, true},    {true, 0, 0, true, false},
      {false, 1, 0, false, false}, {false, 0, 0, false, false}, {true, 1, 1, false, false},
      {true, 2, 2, false, false},  {true, 1, 3, false, false},  {true, 1, 4, false, false},
  };
  for (bool vertical : {true, false}) {
    for (const auto& c : cases) {
      settings.showPhase = c.showPhase;
      settings.readoutMode = c.readoutMode;
      settings.channelMode = c.channelMode;
      skin(vertical);
      drawPhaseBar(context(), -40);
      const TRect bar = test::changedArea(bitmap, untouched);
      test::copyPixels(bitmap, untouched);
      drawPhaseText(context(), -40);
      const TRect text = test::changedArea(bitmap, untouched);
      const char* layout = vertical ? " vertical" : " horizontal";
      EXPECT_EQ(!bar.isEmpty(), c.bar) << c.showPhase << c.readoutMode << c.channelMode << layout;
      EXPECT_EQ(!text.isEmpty(), c.text) << c.showPhase << c.readoutMode << c.channelMode << layout;
    }
  }
}

TEST_F(PhaseReadoutTest, TextOnItsBoxInBothLayouts) {
  TBitmap32 measure;
  measure.Font().Assign(expectedFont());
  const std::string text = "-12\u00BA";
  const int w = measure.TextWidth(text);
  ASSERT_GT(w, 10);
  const int x = 75 - w / 2;  // centred on a 150-wide skin
  const struct {
    bool vertical;
    TRect box;
    int textX, textY;
  } cases[] = {
      {true, {x - 6, 576, x + w + 6, 596}, x, 576},
      {false, {14, 75, 54, 95}, 20, 75},
  };
  for (const auto& c : cases) {
    skin(c.vertical);
    drawPhaseText(context(), -12);
    TBitmap32 expected;
    test::copyPixels(untouched, expected);
    test::paintRect(expected, c.box, 0x00000000);
    expected.Font().Assign(expectedFont());
    expected.Textout(c.textX, c.textY, text);
    EXPECT_TRUE(test::samePixels(bitmap, expected)) << c.vertical;
    EXPECT_EQ(bitmap.Font(), expectedFont());
    // The text shows, inside its box.
    const TRect changed = test::changedArea(bitmap, untouched);
    EXPECT_EQ(changed, c.box) << c.vertical;
  }
}

}  // namespace
}  // namespace tarnvale
