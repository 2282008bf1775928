// Renders whole frames as the meter shows them and keeps them as PNG files in
// the build tree, to be looked at.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "display/bars.h"
#include "display/colour_table.h"
#include "display/display_state.h"
#include "meter/measurement_fields.h"
#include "meter/meter_state.h"
#include "meter/position_table.h"
#include "platform/locale.h"
#include "raster/bitmap32.h"
#include "raster/draft_resampler.h"
#include "settings/meter_settings.h"
#include "tests/support/fake_clock.h"
#include "update/buffer_cycle.h"

namespace tarnvale {
namespace {

constexpr std::int32_t kFrames = 1584;  // 33 ms at 48 kHz

// A dark blue-grey gradient along the long side inside a light two-pixel frame.
void paintSkin(TBitmap32& skin, int width, int height) {
  skin.SetSize(width, height);
  const int length = std::max(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int t = (width < height ? y : x) * 48 / length;
      TColor32 p = (TColor32(16 + t) << 16) | (TColor32(20 + t) << 8) | TColor32(32 + t);
      if (x < 2 || y < 2 || x >= width - 2 || y >= height - 2) p = 0x00A0A8B0;
      skin.ScanLine(y)[x] = p;
    }
}

// Sines of the given peak amplitudes, the right channel `shift` degrees later.
std::vector<std::int16_t> sines(double left, double right, double shiftDegrees) {
  std::vector<std::int16_t> samples;
  const double w = 2 * std::numbers::pi * 997.0 / 48000.0;
  const double shift = shiftDegrees * std::numbers::pi / 180.0;
  for (std::int32_t i = 0; i < kFrames; ++i) {
    samples.push_back(static_cast<std::int16_t>(std::lround(left * std::sin(w * i))));
    samples.push_back(static_cast<std::int16_t>(std::lround(right * std::sin(w * i - shift))));
  }
  return samples;
}

std::filesystem::path writePng(const TBitmap32& bitmap, const std::string& name) {
  const std::filesystem::path folder = TARNVALE_FRAME_DIR;
  std::filesystem::create_directories(folder);
  const std::filesystem::path path = folder / name;
  const QImage image(reinterpret_cast<const uchar*>(bitmap.Bits()), bitmap.Width(), bitmap.Height(),
                     static_cast<qsizetype>(bitmap.Width()) * 4, QImage::Format_RGB32);
  EXPECT_TRUE(image.save(QString::fromStdString(path.string()), "PNG")) << path;
  return path;
}

struct Frame {
  const char* name;
  int width, height, sizePercent;
};

TEST(FramePicture, StereoFrameWithHoldsClipReadoutsAndPhase) {
  const Frame frames[] = {{"frame_vertical.png", 150, 600, 100},
                          {"frame_horizontal.png", 600, 150, 100},
                          {"frame_vertical_150.png", 150, 600, 150}};
  for (const Frame& f : frames) {
    MeterSettings settings;
    settings.readoutMode = 1;
    settings.showPhase = true;
    settings.sizePercent = f.sizePercent;
    settings.vertical = f.width < f.height;
    bool pending = false;
    PositionTable table{};
    buildPositionTable(table);
    PlainMeasurementFields fields;
    test::FakeClock clock{100000};
    FixedLocale locale{"."};
    ColourTable colours{};
    buildColourTable(colours, settings);
    DisplayState displayState{f.width, f.height, false};
    TBitmap32 work, display;
    paintSkin(work, f.width, f.height);
    auto resampler = std::make_shared<TDraftResampler>();
    display.SetResampler(resampler);
    work.SetResampler(resampler);
    display.SetSize(f.width * f.sizePercent / 100, f.height * f.sizePercent / 100);
    MeterState state;
    state.lastReadoutTick = clock.tickCount();
    const BufferCycleContext context{settings, pending, table,   fields,  clock,
                                     locale,   work,    display, colours, displayState};

    // A loud start that clips on the left, then quieter music-like levels:
    // the bars fall below their holds.
    for (int k = 0; k < 24; ++k) {
      const double left = k == 0 ? 32767.0 : 9000.0 * (1.0 + 0.3 * std::sin(k));
      const double right = k == 2 ? 16000.0 : 5000.0 * (1.0 + 0.3 * std::cos(k));
      const std::vector<std::int16_t> samples = sines(left, right, 35.0);
      processBuffer(samples.data(), kFrames, state, context);
      clock.advance(33);
    }
    ASSERT_TRUE(state.clipLatchedLeft);
    ASSERT_FALSE(state.clipLatchedRight);
    ASSERT_GT(state.peakholdL, state.peakL);
    ASSERT_GT(state.peakholdR, state.peakR);

    const std::filesystem::path path = writePng(display, f.name);
    QImage saved(QString::fromStdString(path.string()));
    ASSERT_EQ(saved.width(), display.Width());
    ASSERT_EQ(saved.height(), display.Height());
    saved = saved.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < display.Height(); ++y)
      for (int x = 0; x < display.Width(); ++x)
        ASSERT_EQ(saved.pixel(x, y) & 0x00FFFFFF, display.ScanLine(y)[x] & 0x00FFFFFF)
            << f.name << " " << x << "," << y;
  }
}

}  // namespace
}  // namespace tarnvale
