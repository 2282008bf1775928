#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "display/bars.h"
#include "display/colour_table.h"
#include "display/display_context.h"
#include "display/display_state.h"
#include "display/phase_readout.h"
#include "display/readouts.h"
#include "meter/meter_state.h"
#include "raster/bitmap32.h"
#include "raster/draft_resampler.h"
#include "settings/meter_settings.h"
#include "tests/support/bitmap_compare.h"
#include "tests/support/fake_clock.h"
#include "update/display_update.h"

namespace tarnvale {
namespace {

constexpr TColor32 kSkin = 0x00283848;
constexpr TColor32 kPeak = 0x00ABCDEF;
constexpr std::uint32_t kStart = 50000;

using Span = std::pair<int, int>;  // [first, end) across the bars

class DisplayUpdateTest : public ::testing::Test {
 protected:
  DisplayUpdateTest() {
    settings.peakColor = static_cast<std::int32_t>(kPeak);
    settings.readoutMode = 0;
    settings.showPhase = false;
    buildColourTable(table, settings);
    state.lastReadoutTick = kStart;
    // Left and right sets told apart by their hold blocks: 37 and 25.
    state.peakL = 100;
    state.peakR = 60;
    state.peakholdL = 300;
    state.peakholdR = 200;
    state.clipLatchedLeft = true;
    readings.avgPositionLeft = 80;
    readings.avgPositionRight = 40;
    skin(150, 600);
  }

  void skin(int width, int height) {
    test::paintUniform(work, width, height, kSkin);
    test::paintUniform(reference, width, height, kSkin);
    displayState.imageWidth = width;
    displayState.imageHeight = height;
    settings.vertical = width < height;
    display.SetSize(width, height);
  }

  void update() {
    updateDisplay(readings, state,
                  DisplayUpdateContext{DisplayContext{work, settings, table, displayState}, display,
                                       clock, separator});
  }

  // The expected picture, drawn on `reference` by calling the drawing
  // operations directly.
  DisplayContext referenceContext() { return {reference, settings, table, displayState}; }
  void referenceStereoBars() {
    const int w = reference.Width();
    drawVerticalBar(referenceContext(), state.peakL, w / 2 - 38, state.clipLatchedLeft,
                    state.peakholdL, readings.avgPositionLeft);
    drawVerticalBar(referenceContext(), state.peakR, w / 2 + 20, state.clipLatchedRight,
                    state.peakholdR, readings.avgPositionRight);
  }
  void referenceTexts(const std::string& left, const std::string& right) {
    drawReadoutTexts(referenceContext(), left, right);
  }

  // Runs of hold-coloured pixels across the bars through block `block`.
  std::vector<Span> holdRuns(int block) const {
    std::vector<Span> runs;
    const bool vertical = settings.vertical;
    const int across = vertical ? work.Width() : work.Height();
    const int along = vertical ? work.Height() - (work.Height() - 512) / 2 - 8 * block
                               : (work.Width() - 512) / 2 + 8 * block;
    for (int c = 0; c < across; ++c) {
      const TColor32 p = vertical ? work.ScanLine(along)[c] : work.ScanLine(c)[along];
      if (p != kPeak) continue;
      if (!runs.empty() && runs.back().second == c)
        runs.back().second = c + 1;
      else
        runs.push_back({c, c + 1});
    }
    return runs;
  }

  MeterSettings settings;
  ColourTable table{};
  DisplayState displayState;
  TBitmap32 work;
  TBitmap32 reference;
  TBitmap32 display;
  test::FakeClock clock{kStart};
  std::string separator = ".";
  MeterState state;
  MeterReadings readings;
};

TEST_F(DisplayUpdateTest, BarsByChannelModeAndOrientation) {
  const struct {
    const char* what;
    int width, height;
    std::int32_t mode, offsetLeft, offsetRight;
    std::vector<Span> left, right;  // where the left set (hold block 37) and right set (25) show
  } cases[] = {
      {"stereo vertical, 240 wide", 240, 600, 0, 0, 0, {{82, 102}}, {{140, 160}}},
      {"stereo vertical, offsets", 150, 600, 0, 5, 7, {{42, 62}}, {{107, 127}}},
      {"stereo vertical, odd width", 151, 600, 0, -3, 0, {{34, 54}}, {{92, 112}}},
      {"mono left vertical", 150, 600, 1, 3, 40, {{58, 78}}, {}},
      {"mono right vertical", 150, 600, 2, 3, 40, {}, {{58, 78}}},
      {"mono L+R vertical", 150, 600, 3, 0, 0, {{55, 75}}, {}},
      {"unknown mode vertical", 150, 600, 4, 0, 0, {}, {}},
      // Horizontal bars end on the row above their cross coordinate.
      {"stereo horizontal", 600, 150, 0, 0, 0, {{51, 71}}, {{95, 115}}},
      {"stereo horizontal, offsets", 600, 150, 0, -10, 6, {{41, 61}}, {{91, 111}}},
      {"mono left horizontal", 600, 150, 1, 2, 50, {{71, 91}}, {}},
      {"mono right horizontal", 600, 150, 2, 2, 50, {}, {{71, 91}}},
      {"mono L+R horizontal", 600, 150, 3, 0, 0, {{69, 89}}, {}},
      {"unknown mode horizontal", 600, 150, -1, 0, 0, {}, {}},
  };
  for (const auto& c : cases) {
    skin(c.width, c.height);
    settings.channelMode = c.mode;
    settings.offsetLeft = c.offsetLeft;
    settings.offsetRight = c.offsetRight;
    update();
    EXPECT_EQ(holdRuns(37), c.left) << c.what;
    EXPECT_EQ(holdRuns(25), c.right) << c.what;
  }
}

TEST_F(DisplayUpdateTest, StereoBarsCarryTheirWholeChannelSets) {
  skin(240, 600);
  update();
  referenceStereoBars();
  EXPECT_TRUE(test::samePixels(work, reference));
}

TEST_F(DisplayUpdateTest, OffsetsAtTheEndsOfTheirRangeDrawNothingOutside) {
  const std::int32_t far = std::numeric_limits<std::int32_t>::max();
  for (std::int32_t mode : {0, 1, 2}) {
    for (bool vertical : {true, false}) {
      skin(vertical ? 150 : 600, vertical ? 600 : 150);
      settings.channelMode = mode;
      settings.offsetLeft = far;
      settings.offsetRight = far;
      update();
      EXPECT_TRUE(test::samePixels(work, reference)) << mode << vertical;  // all off the skin
      settings.offsetLeft = -far - 1;
      settings.offsetRight = -far - 1;
      update();
      EXPECT_TRUE(test::samePixels(work, reference)) << mode << vertical;
    }
  }
}

TEST_F(DisplayUpdateTest, NoReadoutTextWhenReadoutsAreOff) {
  state.heldPeakDbLeft = -6.0;
  readings.avgDbLeft = -9.0;
  settings.readoutMode = 0;
  for (std::uint32_t step : {10u, 400u, 400u}) {
    clock.advance(step);
    update();
  }
  referenceStereoBars();
  EXPECT_TRUE(test::samePixels(work, reference));
  EXPECT_EQ(state.lastReadoutTick, kStart + 810);  // the slow update still runs
}

TEST_F(DisplayUpdateTest, PeakReadoutsEveryBuffer) {
  settings.readoutMode = 1;
  readings.avgDbLeft = -40.0;  // never shown
  const struct {
    std::uint32_t step;
    double left, right;
    const char *textLeft, *textRight;
  } buffers[] = {
      {10, -12.0, -3.46, " -12.0", "  -3.5"},
      {20, -1.0, -2.0, "  -1.0", "  -2.0"},
      {400, -99.0, -0.04, " -99.0", "  -0.0"},
      {33, -7.26, -70.0, "  -7.3", " -70.0"},
  };
  for (const auto& b : buffers) {
    clock.advance(b.step);
    state.heldPeakDbLeft = b.left;
    state.heldPeakDbRight = b.right;
    update();
    referenceStereoBars();
    referenceTexts(b.textLeft, b.textRight);
    EXPECT_TRUE(test::samePixels(work, reference)) << b.textLeft;
  }
}

TEST_F(DisplayUpdateTest, AverageReadoutsOnlyInTheSlowUpdate) {
  settings.readoutMode = 2;
  state.heldPeakDbLeft = -50.0;  // never shown
  referenceStereoBars();
  const struct {
    std::uint32_t step;
    double left, right;
    const char *textLeft, *textRight;  // null: the texts stay as they were
  } buffers[] = {
      {100, -20.0, -21.0, nullptr, nullptr},
      {200, -20.0, -21.0, nullptr, nullptr},  // 300 ms: not more than 300
      {1, -10.0, -11.0, " -10.0", " -11.0"},  // 301 ms
      {33, -5.0, -6.0, nullptr, nullptr},
      {268, -5.0, -6.0, "  -5.0", "  -6.0"},  // 301 ms since: the current values
  };
  for (const auto& b : buffers) {
    clock.advance(b.step);
    readings.avgDbLeft = b.left;
    readings.avgDbRight = b.right;
    update();
    referenceStereoBars();
    if (b.textLeft) referenceTexts(b.textLeft, b.textRight);
    EXPECT_TRUE(test::samePixels(work, reference)) << b.step;
  }
}

TEST_F(DisplayUpdateTest, PhaseBarEveryBufferItsTextInTheSlowUpdate) {
  settings.showPhase = true;
  settings.readoutMode = 1;
  state.heldPeakDbLeft = -6.0;
  state.heldPeakDbRight = -8.0;
  const struct {
    std::uint32_t step;
    std::int32_t phase;
    bool text;
  } buffers[] = {{10, 30, false}, {291, -40, true}, {33, 60, false}, {268, 5, true}};
  for (const auto& b : buffers) {
    clock.advance(b.step);
    readings.phaseAverage = b.phase;
    update();
    referenceStereoBars();
    referenceTexts("  -6.0", "  -8.0");
    drawPhaseBar(referenceContext(), b.phase);
    if (b.text) drawPhaseText(referenceContext(), b.phase);
    EXPECT_TRUE(test::samePixels(work, reference)) << b.phase;
  }
}

TEST_F(DisplayUpdateTest, PhaseBarWithoutReadoutsHasNoText) {
  settings.showPhase = true;
  settings.readoutMode = 0;
  readings.phaseAverage = -90;
  clock.advance(1000);
  update();
  referenceStereoBars();
  drawPhaseBar(referenceContext(), -90);
  EXPECT_TRUE(test::samePixels(work, reference));
}

TEST_F(DisplayUpdateTest, SlowUpdateByTheUnsignedTickDifference) {
  settings.readoutMode = 2;
  const struct {
    std::uint32_t last, now;
    bool slow;
  } cases[] = {
      {1000, 1300, false},
      {1000, 1301, true},
      {1000, 1000, false},
      {0xFFFFFF00u, 0x0000002Cu, false},  // 300 across the wrap
      {0xFFFFFF00u, 0x0000002Du, true},   // 301 across the wrap
      {5000, 4000, true},                 // a clock behind the last update: a huge difference
  };
  for (const auto& c : cases) {
    skin(150, 600);
    state.lastReadoutTick = c.last;
    clock.set(c.now);
    readings.avgDbLeft = -12.0;
    update();
    EXPECT_EQ(state.lastReadoutTick, c.slow ? c.now : c.last) << c.last << " " << c.now;
    referenceStereoBars();
    if (c.slow) referenceTexts(" -12.0", "   0.0");
    EXPECT_TRUE(test::samePixels(work, reference)) << c.last << " " << c.now;
  }
}

// The remembered bars fill only blocks whose colour changed: the picture must
// stay what filling every block gives, whatever moves, whatever else draws.
TEST_F(DisplayUpdateTest, RememberedBarsDrawWhatFillingEveryBlockDraws) {
  for (const bool vertical : {true, false}) {
    SCOPED_TRACE(vertical);
    vertical ? skin(150, 600) : skin(600, 150);
    TBitmap32 remembering;
    TBitmap32 shownRemembering;
    TBitmap32 shownReference;
    test::paintUniform(remembering, work.Width(), work.Height(), kSkin);
    shownRemembering.SetSize(work.Width(), work.Height());
    shownReference.SetSize(work.Width(), work.Height());
    DrawnBars drawn;
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::uint32_t range) {
      seed = seed * 1664525u + 1013904223u;
      return static_cast<std::int32_t>((seed >> 8) % range);
    };
    for (int round = 0; round < 600; ++round) {
      SCOPED_TRACE(round);
      state.peakL = next(511);
      state.peakR = next(3) == 0 ? state.peakR : next(511);
      state.peakholdL = next(4) == 0 ? next(511) : state.peakholdL;
      state.peakholdR = next(4) == 0 ? next(511) : state.peakholdR;
      state.clipLatchedLeft = next(9) == 0;
      readings.avgPositionLeft = next(511);
      settings.showAverage = next(7) != 0;
      if (next(40) == 0) settings.channelMode = next(4);
      if (next(50) == 0) settings.barWidth = 10 + next(20);
      if (next(60) == 0) settings.blocks = !settings.blocks;
      if (next(30) == 0) {
        settings.peakColor = static_cast<std::int32_t>(next(0xFFFFFF));
        buildColourTable(table, settings);
      }
      // Something else draws on both (a skin, the label), over the bars or not.
      if (next(15) == 0) {
        const int x = next(static_cast<std::uint32_t>(work.Width()));
        const int y = next(static_cast<std::uint32_t>(work.Height()));
        const int right = x + 1 + next(60), bottom = y + 1 + next(60);
        const auto colour = static_cast<TColor32>(next(0xFFFFFF));
        work.FillRect(x, y, right, bottom, colour);
        remembering.FillRect(x, y, right, bottom, colour);
      }
      settings.readoutMode = next(10) == 0 ? 1 : 0;
      updateDisplay(readings, state,
                    DisplayUpdateContext{DisplayContext{work, settings, table, displayState},
                                         shownReference, clock, separator});
      updateDisplay(readings, state,
                    DisplayUpdateContext{DisplayContext{remembering, settings, table, displayState},
                                         shownRemembering, clock, separator, nullptr, &drawn});
      ASSERT_TRUE(test::samePixels(work, remembering));
    }
  }
}

TEST_F(DisplayUpdateTest, ReadoutsUseTheLocaleSeparator) {
  settings.readoutMode = 1;
  separator = ",";
  state.heldPeakDbLeft = -3.46;
  state.heldPeakDbRight = -99.0;
  update();
  referenceStereoBars();
  referenceTexts("  -3,5", " -99,0");
  EXPECT_TRUE(test::samePixels(work, reference));
}

// The copy to the display control's bitmap, observed through its change
// notifications and its pixels.
class DisplayCopyTest : public DisplayUpdateTest {
 protected:
  static constexpr TColor32 kUnpainted = 0x00FF00FF;
  DisplayCopyTest() {
    // Start-up shares the display bitmap's resampler with the work bitmap.
    work.SetResampler(std::make_shared<TDraftResampler>());
    display.SetOnChange([this](const TRect& r) { changes.push_back(r); });
  }
  void sizeDisplay(int width, int height) {
    display.SetSize(width, height);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) display.ScanLine(y)[x] = kUnpainted;
    changes.clear();
  }
  std::vector<TRect> changes;
};

TEST_F(DisplayCopyTest, HundredPercentCopiesAtThePoint) {
  // Whatever the display bitmap's size, 100 % never stretches.
  const struct { int width, height; } displays[] = {{150, 600}, {300, 1200}, {75, 300}};
  for (const auto& d : displays) {
    settings.sizePercent = 100;
    sizeDisplay(d.width, d.height);
    update();
    const TRect copied{0, 0, std::min(150, d.width), std::min(600, d.height)};
    EXPECT_EQ(changes, std::vector<TRect>{copied}) << d.width;
    for (int y = 0; y < d.height; ++y)
      for (int x = 0; x < d.width; ++x) {
        const TColor32 want =
            x < copied.Right && y < copied.Bottom ? work.ScanLine(y)[x] : kUnpainted;
        ASSERT_EQ(display.ScanLine(y)[x], want) << d.width << ": " << x << "," << y;
      }
  }
}

TEST_F(DisplayCopyTest, EveryOtherSizeStretchesTheWholeWorkBitmap) {
  const std::int32_t sizes[] = {99, 101, 33, 150, 200};
  for (std::int32_t percent : sizes) {
    settings.sizePercent = percent;
    const int w = 150 * percent / 100, h = 600 * percent / 100;
    sizeDisplay(w, h);
    update();
    EXPECT_EQ(changes, (std::vector<TRect>{TRect{0, 0, w, h}})) << percent;

    TBitmap32 stretched;
    stretched.SetSize(w, h);
    stretched.Draw(stretched.BoundsRect(), work.BoundsRect(), work);
    EXPECT_TRUE(test::samePixels(display, stretched)) << percent;
    // A copy at the point would have looked different.
    TBitmap32 unscaled;
    test::paintUniform(unscaled, w, h, kUnpainted);
    unscaled.Draw(0, 0, work);
    EXPECT_FALSE(test::samePixels(display, unscaled)) << percent;
  }
}

}  // namespace
}  // namespace tarnvale
