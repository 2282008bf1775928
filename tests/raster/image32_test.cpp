#include "raster/image32.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPaintEvent>
#include <QPixmap>
#include <QTest>
#include <random>
#include <vector>

#include "tests/raster/image_files.h"

namespace tarnvale {
namespace {

// Records the rectangles it is asked to paint.
class RecordingImage : public TImage32 {
 public:
  std::vector<QRect> painted;
  std::vector<QRegion> regions;

 protected:
  void paintEvent(QPaintEvent* event) override {
    painted.push_back(event->rect());
    regions.push_back(event->region());
    TImage32::paintEvent(event);
  }
};

TEST(TImage32, ShowsItsBitmapOneToOneOnBlack) {
  std::mt19937 rng(3);
  const struct {
    int bw, bh;  // bitmap
    int cw, ch;  // control
  } cases[] = {{30, 20, 50, 40}, {50, 40, 50, 40}, {60, 45, 50, 40}, {0, 0, 20, 10}};
  for (const auto& c : cases) {
    TImage32 image;
    image.resize(c.cw, c.ch);
    // Random alpha, 0 included: the control shows colour only.
    test::paint(image.Bitmap(), test::randomPicture(rng, c.bw, c.bh));
    const QImage shown = image.grab().toImage();
    ASSERT_EQ(shown.width(), c.cw);
    ASSERT_EQ(shown.height(), c.ch);
    for (int y = 0; y < c.ch; ++y)
      for (int x = 0; x < c.cw; ++x) {
        const bool covered = x < c.bw && y < c.bh;
        const QRgb want = covered ? (image.Bitmap().ScanLine(y)[x] | 0xFF000000u) : 0xFF000000u;
        ASSERT_EQ(shown.pixel(x, y), want) << c.bw << "x" << c.bh << " at " << x << "," << y;
      }
  }
}

TEST(TImage32, RepaintsEachChangeGrownByTwoBeforeReturning) {
  RecordingImage image;
  image.resize(40, 30);
  image.Bitmap().SetSize(40, 30);
  image.show();
  // Painting reaches a window only once the platform has exposed it.
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&image));
  const struct {
    TRect fill;
    QRect repainted;
  } cases[] = {
      {{10, 10, 20, 15}, QRect(8, 8, 14, 9)},
      {{0, 0, 5, 5}, QRect(0, 0, 7, 7)},
      {{35, 25, 40, 30}, QRect(33, 23, 7, 7)},
      {{0, 0, 40, 30}, QRect(0, 0, 40, 30)},
  };
  for (const auto& c : cases) {
    image.painted.clear();
    image.Bitmap().FillRect(c.fill.Left, c.fill.Top, c.fill.Right, c.fill.Bottom, 0xFF00FF00);
    ASSERT_EQ(image.painted.size(), 1u);
    EXPECT_EQ(image.painted.front(), c.repainted);
  }
  // A Draw into the bitmap repaints the same way.
  TBitmap32 src;
  src.SetSize(4, 4);
  image.painted.clear();
  image.Bitmap().Draw(3, 4, src);
  EXPECT_EQ(image.painted, std::vector<QRect>{QRect(1, 2, 8, 8)});
}

TEST(TImage32, RepaintsOnlyTheColoursThatDifferFromWhatIsShown) {
  RecordingImage image;
  image.resize(40, 30);
  std::mt19937 rng(5);
  const test::Picture base = test::randomPicture(rng, 40, 30);
  test::paint(image.Bitmap(), base);
  image.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&image));
  struct Change {
    int x, y;
    TColor32 xorBits;
  };
  const struct {
    const char* what;
    std::vector<Change> changes;
    std::vector<QRect> repainted;
  } cases[] = {
      {"the same picture again", {}, {}},
      {"alpha only", {{12, 7, 0xFF000000}, {0, 0, 0x01000000}}, {}},
      {"one pixel", {{12, 7, 0x00000001}}, {QRect(10, 5, 5, 5)}},
      {"two far apart: their bounding box",
       {{3, 3, 0x00010000}, {30, 20, 0x00FFFFFF}},
       {QRect(1, 1, 32, 22)}},
      {"corner, clipped to the control", {{39, 29, 0x00000100}}, {QRect(37, 27, 3, 3)}},
  };
  for (const auto& c : cases) {
    TBitmap32 frame;
    test::Picture picture = base;
    for (const Change& change : c.changes)
      picture.pixels[static_cast<std::size_t>(change.y) * 40 + change.x] ^= change.xorBits;
    test::paint(frame, picture);
    image.painted.clear();
    // The whole frame is drawn, as the meter does for every buffer.
    image.Bitmap().Draw(0, 0, frame);
    EXPECT_EQ(image.painted, c.repainted) << c.what;
    const QImage shown = image.grab().toImage();
    for (const Change& change : c.changes)
      EXPECT_EQ(shown.pixel(change.x, change.y), picture.at(change.x, change.y) | 0xFF000000u)
          << c.what;
    // Back to the base picture for the next case.
    test::paint(frame, base);
    image.Bitmap().Draw(0, 0, frame);
  }
}

TEST(TImage32, AnUpdateRepaintsItsChangesTogetherAtItsEnd) {
  RecordingImage image;
  image.resize(60, 40);
  image.Bitmap().SetSize(60, 40);
  int watchedCalls = 0;
  image.WatchColour(0x00400040, [&watchedCalls] { ++watchedCalls; });
  image.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&image));
  image.painted.clear();
  image.regions.clear();
  watchedCalls = 0;
  image.Bitmap().BeginUpdate();
  image.Bitmap().FillRect(5, 5, 7, 7, 0xFF400040);
  image.Bitmap().BeginUpdate();  // nested: only the outer end repaints
  image.Bitmap().FillRect(50, 30, 52, 32, 0xFF00FF00);
  image.Bitmap().FillRect(50, 30, 52, 32, 0xFF00FF00);  // unchanged: adds nothing
  image.Bitmap().EndUpdate();
  EXPECT_TRUE(image.painted.empty());
  EXPECT_EQ(watchedCalls, 0);
  image.Bitmap().EndUpdate();
  // One repaint of two small areas, not of the rectangle spanning both.
  ASSERT_EQ(image.regions.size(), 1u);
  EXPECT_EQ(image.regions.front(), QRegion(3, 3, 6, 6) + QRegion(48, 28, 6, 6));
  EXPECT_EQ(watchedCalls, 1);
  const QImage shown = image.grab().toImage();
  EXPECT_EQ(shown.pixel(6, 6), 0xFF400040u);
  EXPECT_EQ(shown.pixel(51, 31), 0xFF00FF00u);
  EXPECT_EQ(shown.pixel(30, 20), 0xFF000000u);
}

TEST(TImage32, ReportsWhenTheWatchedColourComesOrGoes) {
  TImage32 image;
  int calls = 0;
  constexpr TColor32 kWatched = 0x00400040;
  image.WatchColour(kWatched, [&calls] { ++calls; });
  const struct {
    const char* what;
    TRect fill;
    TColor32 colour;
    int calls;
  } cases[] = {
      {"another colour", {0, 0, 10, 10}, 0xFF102030, 0},
      {"watched colour appears", {2, 2, 4, 4}, 0xFF400040, 1},
      {"same colour, other alpha", {2, 2, 4, 4}, 0x00400040, 0},
      {"watched colour goes", {0, 0, 10, 10}, 0xFF102030, 1},
      {"nothing changes", {0, 0, 10, 10}, 0xFF102030, 0},
      {"watched colour over a whole row", {0, 9, 10, 10}, 0xFF400040, 1},
  };
  image.Bitmap().SetSize(10, 10);
  EXPECT_EQ(calls, 1) << "a size change";
  for (const auto& c : cases) {
    calls = 0;
    image.Bitmap().FillRect(c.fill.Left, c.fill.Top, c.fill.Right, c.fill.Bottom, c.colour);
    EXPECT_EQ(calls, c.calls) << c.what;
  }
}

TEST(TImage32, BitmapResamplesWithTheDraftResampler) {
  TImage32 image;
  EXPECT_STREQ(image.Bitmap().Resampler()->ClassName(), "TDraftResampler");
  EXPECT_EQ(image.Bitmap().CombineMode(), TCombineMode::cmMerge);
  EXPECT_EQ(image.Bitmap().DrawMode(), TDrawMode::dmOpaque);
}

}  // namespace
}  // namespace tarnvale
