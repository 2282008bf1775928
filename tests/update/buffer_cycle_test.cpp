#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "display/bars.h"
#include "display/colour_table.h"
#include "display/display_context.h"
#include "display/display_state.h"
#include "display/readouts.h"
#include "meter/measurement_fields.h"
#include "meter/meter_state.h"
#include "meter/position_table.h"
#include "platform/locale.h"
#include "raster/bitmap32.h"
#include "settings/meter_settings.h"
#include "tests/support/bitmap_compare.h"
#include "tests/support/fake_clock.h"
#include "update/buffer_cycle.h"

namespace tarnvale {
namespace {

constexpr TColor32 kSkin = 0x00202020;
constexpr std::int32_t kFrames = 1584;  // 33 ms at 48 kHz

// A buffer whose every left sample is `left` and every right one `right`.
std::vector<std::int16_t> steady(std::int16_t left, std::int16_t right) {
  std::vector<std::int16_t> samples;
  for (std::int32_t i = 0; i < kFrames; ++i) {
    samples.push_back(left);
    samples.push_back(right);
  }
  return samples;
}

class BufferCycleTest : public ::testing::Test {
 protected:
  BufferCycleTest() {
    buildPositionTable(table);
    settings.readoutMode = 1;
    buildColourTable(colours, settings);
    test::paintUniform(work, 150, 600, kSkin);
    display.SetSize(150, 600);
    displayState.imageWidth = 150;
    displayState.imageHeight = 600;
    state.lastReadoutTick = clock.tickCount();
  }

  MeterReadings process(const std::vector<std::int16_t>& samples) {
    const BufferCycleContext context{settings, pending, table,   fields,  clock,
                                     locale,   work,    display, colours, displayState};
    return processBuffer(samples.data(), kFrames, state, context);
  }

  MeterSettings settings;  // stereo, vertical, clip level -0.5 dB
  bool pending = false;
  PositionTable table{};
  PlainMeasurementFields fields;
  test::FakeClock clock{7000};
  FixedLocale locale{","};
  TBitmap32 work;
  TBitmap32 display;
  ColourTable colours{};
  DisplayState displayState;
  MeterState state;
};

TEST_F(BufferCycleTest, OneBufferReachesTheScreenInTheSameCycle) {
  fields.calibration = "-1,5";
  const MeterReadings readings = process(steady(32767, 0));

  // The calibration field was read with the locale's separator.
  EXPECT_EQ(fields.headroom, "1,5 dB");
  // The clip latched and the bar and hold moved before the drawing.
  EXPECT_TRUE(state.clipLatchedLeft);
  EXPECT_FALSE(state.clipLatchedRight);
  EXPECT_GT(state.peakL, 500);
  EXPECT_EQ(state.peakholdL, state.peakL);

  TBitmap32 expected;
  test::paintUniform(expected, 150, 600, kSkin);
  const DisplayContext context{expected, settings, colours, displayState};
  drawVerticalBar(context, state.peakL, 37, true, state.peakholdL, readings.avgPositionLeft);
  drawVerticalBar(context, state.peakR, 95, false, state.peakholdR, readings.avgPositionRight);
  // The held peak of this very buffer, 1.5 dB above the meter's full scale.
  drawReadoutTexts(context, "   1,5", " -99,0");
  EXPECT_TRUE(test::samePixels(work, expected));
  EXPECT_TRUE(test::samePixels(display, work));
}

TEST_F(BufferCycleTest, TheDialogFieldsAndTheDcMeasurementAreServed) {
  pending = true;
  fields.decay = "fast";
  process(steady(120, -40));
  EXPECT_FALSE(pending);
  // Mean magnitudes of the examined frames over the whole buffer.
  EXPECT_EQ(settings.dcOffsetLeft, 120 * (kFrames - 3) / kFrames);
  EXPECT_EQ(settings.dcOffsetRight, 40 * (kFrames - 3) / kFrames);
  EXPECT_EQ(fields.dcOffsetLeft, "119");
  EXPECT_TRUE(fields.decayRed);
  EXPECT_EQ(state.decayStep, 2);
}

}  // namespace
}  // namespace tarnvale
