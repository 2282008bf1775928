// The display control on a real X display: what the server shows must be the
// bitmap, pixel for pixel, whether the pixels travel through shared memory or
// through the socket.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "raster/image32.h"
#include "tests/raster/image_files.h"

namespace tarnvale {
namespace {

bool onX() {
  return QGuiApplication::platformName() == "xcb";
}

// The window's pixels as the X server has them, after every request before.
std::vector<TColor32> serverPixels(const TImage32& image, int width, int height) {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* c = x11->connection();
  const auto window = static_cast<xcb_window_t>(image.winId());
  xcb_get_image_reply_t* reply = xcb_get_image_reply(
      c,
      xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0, static_cast<std::uint16_t>(width),
                    static_cast<std::uint16_t>(height), ~0u),
      nullptr);
  std::vector<TColor32> pixels;
  if (reply == nullptr) return pixels;
  const auto* data = reinterpret_cast<const TColor32*>(xcb_get_image_data(reply));
  pixels.assign(data, data + static_cast<std::size_t>(width) * height);
  std::free(reply);
  return pixels;
}

// The first pixel where the server differs from the bitmap (black beside it); empty if none.
std::string firstDifference(const TImage32& image) {
  const TBitmap32& bitmap = image.Bitmap();
  const std::vector<TColor32> got = serverPixels(image, image.width(), image.height());
  if (got.size() != static_cast<std::size_t>(image.width()) * image.height()) return "no image";
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const bool covered = x < bitmap.Width() && y < bitmap.Height();
      const TColor32 want = covered ? bitmap.ScanLine(y)[x] & 0xFFFFFF : 0;
      const TColor32 shown = got[static_cast<std::size_t>(y) * image.width() + x] & 0xFFFFFF;
      if (shown != want) {
        return "at " + std::to_string(x) + "," + std::to_string(y) + ": " + std::to_string(shown) +
               " instead of " + std::to_string(want);
      }
    }
  return {};
}

TEST(TImage32OnX, ShowsEveryChangeThroughSharedMemoryOrTheSocket) {
  if (!onX()) GTEST_SKIP() << "needs an X display";
  std::mt19937 rng(11);
  for (const bool shared : {true, false}) {
    SCOPED_TRACE(shared ? "shared memory" : "socket");
    if (shared) {
      qunsetenv("QT_X11_NO_MITSHM");
    } else {
      qputenv("QT_X11_NO_MITSHM", "1");
    }
    // A child window, as in the meter's own window.
    QWidget window;
    window.resize(80, 60);
    TImage32 image(&window);
    image.setGeometry(5, 5, 64, 48);
    image.Bitmap().SetSize(60, 40);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(image.SharesPixelsWithServer(), shared);
    const auto drawRandom = [&](int width, int height) {
      TBitmap32 picture;
      test::paint(picture, test::randomPicture(rng, width, height));
      image.Bitmap().Draw(0, 0, picture);
    };
    drawRandom(60, 40);
    // The window manager's mapping may clear it after the first show: the
    // exposes that follow repaint it.
    QElapsedTimer waited;
    waited.start();
    while (!firstDifference(image).empty() && waited.elapsed() < 5000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    ASSERT_EQ(firstDifference(image), "") << "the first picture";
    // From here on each change must be on the server once the call returns,
    // with no events handled in between.
    const auto expectShown = [&](const char* step) {
      EXPECT_EQ(firstDifference(image), "") << step;
    };
    // Whole rows, part of a row, one pixel, and an update's changes together.
    image.Bitmap().FillRect(0, 5, 60, 9, 0x00123456);
    expectShown("whole rows");
    image.Bitmap().FillRect(13, 20, 31, 37, 0x00ABCDEF);
    expectShown("part of rows");
    image.Bitmap().FillRect(59, 39, 60, 40, 0x00FF0000);
    expectShown("last pixel");
    image.Bitmap().BeginUpdate();
    image.Bitmap().FillRect(1, 1, 4, 30, 0x0000FF00);
    image.Bitmap().FillRect(40, 2, 58, 3, 0x000000FF);
    image.Bitmap().EndUpdate();
    expectShown("an update");
    // Written without a notification, then painted: shown as written.
    image.Bitmap().ScanLine(30)[20] = 0x00FEDCBA;
    image.repaint(18, 28, 5, 5);
    expectShown("a repaint");
    // New pixel memory, larger than the control: new shared memory too.
    image.Bitmap().SetSize(70, 50);
    drawRandom(70, 50);
    EXPECT_EQ(image.SharesPixelsWithServer(), shared);
    expectShown("new size");
    image.Bitmap().FillRect(50, 10, 70, 12, 0x00777777);
    expectShown("after the new size");
  }
  qunsetenv("QT_X11_NO_MITSHM");
}

}  // namespace
}  // namespace tarnvale

int main(int argc, char** argv) {
  // Only on the desktop the end-to-end tests start; elsewhere the test skips.
  if (qEnvironmentVariableIsEmpty("DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  } else {
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
