#include "display/display_copy.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "raster/draft_resampler.h"
#include "tests/support/bitmap_compare.h"

namespace tarnvale {
namespace {

// The work bitmap with the display's resampler, as start-up sets it, and a
// display bitmap that records its notifications.
struct Copying {
  TBitmap32 work;
  TBitmap32 display;
  DisplayCopy copy;
  std::vector<TRect> changes;
  int updateEnds = 0;
  bool notifiedOutsideUpdate = false;

  Copying(int workWidth, int workHeight, int displayWidth, int displayHeight, std::mt19937& rng) {
    work.SetResampler(std::make_shared<TDraftResampler>());
    work.SetSize(workWidth, workHeight);
    for (int y = 0; y < workHeight; ++y)
      for (int x = 0; x < workWidth; ++x) work.ScanLine(y)[x] = static_cast<TColor32>(rng());
    display.SetSize(displayWidth, displayHeight);
    display.SetOnChange([this](const TRect& r) { changes.push_back(r); });
    display.SetOnEndUpdate([this] { ++updateEnds; });
  }

  // What the whole Draw of the work bitmap gives on a display of this size.
  void wholeDraw(TBitmap32& into, bool stretch) const {
    into.SetSize(display.Width(), display.Height());
    if (stretch)
      into.Draw(into.BoundsRect(), work.BoundsRect(), work);
    else
      into.Draw(0, 0, work);
  }

  long long notifiedPixels() const {
    long long sum = 0;
    for (const TRect& r : changes) sum += r.width() * r.height();
    return sum;
  }
};

TEST(DisplayCopy, EveryCopyLeavesTheDisplayAsTheWholeDrawWould) {
  const struct {
    int workWidth, workHeight, displayWidth, displayHeight;
    bool stretch;
  } cases[] = {
      {150, 600, 150, 600, false}, {150, 600, 300, 1200, false}, {150, 600, 75, 300, false},
      {150, 600, 300, 1200, true}, {150, 600, 225, 900, true},   {150, 600, 148, 594, true},
      {150, 600, 49, 198, true},   {240, 600, 480, 1200, true},  {640, 160, 1280, 320, true},
      {640, 160, 128, 32, true},   {150, 600, 1, 1, true},       {150, 600, 151, 600, true},
      {150, 600, 150, 1200, true}, {150, 600, 30, 900, true},
  };
  std::mt19937 rng(11);
  for (const auto& c : cases) {
    Copying t(c.workWidth, c.workHeight, c.displayWidth, c.displayHeight, rng);
    t.copy.copy(t.work, t.display, c.stretch);
    for (int round = 0; round < 40; ++round) {
      // A few changed rectangles of every kind: single pixels, blocks, bars
      // the height of the bitmap, at the edges too; some repaint a colour
      // that was there already.
      const int count = 1 + static_cast<int>(rng() % 3);
      for (int i = 0; i < count; ++i) {
        const int w = 1 + static_cast<int>(rng() % (round % 4 == 0 ? c.workWidth : 20));
        const int h = 1 + static_cast<int>(rng() % (round % 5 == 0 ? c.workHeight : 20));
        const int x = static_cast<int>(rng() % c.workWidth) - w / 2;
        const int y = static_cast<int>(rng() % c.workHeight) - h / 2;
        const TColor32 colour =
            rng() % 4 == 0 ? t.work.ScanLine(0)[0] : static_cast<TColor32>(rng());
        t.work.FillRect(x, y, x + w, y + h, colour);
      }
      t.changes.clear();
      t.copy.copy(t.work, t.display, c.stretch);
      TBitmap32 expected;
      t.wholeDraw(expected, c.stretch);
      ASSERT_TRUE(test::samePixels(t.display, expected))
          << c.workWidth << "x" << c.workHeight << " onto " << c.displayWidth << "x"
          << c.displayHeight << ", round " << round;
    }
  }
}

TEST(DisplayCopy, DrawsOnlyAroundWhatChangedInOneUpdate) {
  std::mt19937 rng(12);
  const struct {
    int displayWidth, displayHeight;
    bool stretch;
  } cases[] = {{150, 600, false}, {300, 1200, true}, {75, 300, true}};
  for (const auto& c : cases) {
    Copying t(150, 600, c.displayWidth, c.displayHeight, rng);
    t.copy.copy(t.work, t.display, c.stretch);
    EXPECT_EQ(t.changes, std::vector<TRect>{t.display.BoundsRect()}) << "the first copy is whole";

    t.changes.clear();
    t.updateEnds = 0;
    t.copy.copy(t.work, t.display, c.stretch);
    EXPECT_TRUE(t.changes.empty()) << "nothing changed";

    // One pixel in each of two far corners: two small areas, not one spanning both.
    t.work.FillRect(3, 5, 4, 6, ~t.work.ScanLine(5)[3]);
    t.work.FillRect(140, 590, 141, 591, ~t.work.ScanLine(590)[140]);
    t.changes.clear();
    t.updateEnds = 0;
    t.display.SetOnChange([&t](const TRect& r) {
      t.changes.push_back(r);
      if (!t.display.Updating()) t.notifiedOutsideUpdate = true;
    });
    t.copy.copy(t.work, t.display, c.stretch);
    EXPECT_EQ(t.changes.size(), 2u) << c.displayWidth;
    EXPECT_LT(t.notifiedPixels() * 50, static_cast<long long>(c.displayWidth) * c.displayHeight)
        << c.displayWidth;
    EXPECT_EQ(t.updateEnds, 1);
    EXPECT_FALSE(t.notifiedOutsideUpdate);
  }
}

TEST(DisplayCopy, CopiesWholeAfterAnythingElseChangedTheDisplay) {
  std::mt19937 rng(13);
  const struct {
    const char* what;
    void (*disturb)(Copying&);
    int displayWidth, displayHeight;
    bool stretch;
  } cases[] = {
      {"a fill of the display", [](Copying& t) { t.display.FillRect(0, 0, 10, 10, 0); }, 300, 1200,
       true},
      {"a new display size", [](Copying& t) { t.display.SetSize(225, 900); }, 300, 1200, true},
      {"a new work size", [](Copying& t) { t.work.SetSize(150, 300); }, 300, 1200, true},
      {"stretch turned off", nullptr, 150, 600, true},
  };
  for (const auto& c : cases) {
    Copying t(150, 600, c.displayWidth, c.displayHeight, rng);
    t.copy.copy(t.work, t.display, c.stretch);
    bool stretch = c.stretch;
    if (c.disturb != nullptr)
      c.disturb(t);
    else
      stretch = !stretch;
    t.changes.clear();
    t.copy.copy(t.work, t.display, stretch);
    TBitmap32 expected;
    t.wholeDraw(expected, stretch);
    EXPECT_TRUE(test::samePixels(t.display, expected)) << c.what;
    ASSERT_FALSE(t.changes.empty()) << c.what;
    EXPECT_EQ(t.changes.back(), intersect(t.display.BoundsRect(),
                                          stretch ? t.display.BoundsRect() : t.work.BoundsRect()))
        << c.what;
  }
}

}  // namespace
}  // namespace tarnvale
