#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "meter/buffer_analysis.h"
#include "meter/decibels.h"
#include "meter/measurement_fields.h"
#include "meter/meter_state.h"
#include "meter/position_table.h"
#include "settings/meter_settings.h"
#include "settings/ring_length.h"

namespace tarnvale {
namespace {

constexpr auto kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr auto kInt32Max = std::numeric_limits<std::int32_t>::max();

struct Frame {
  std::int16_t left, right;
};

// Interleaved samples of the frames, exactly that long, so the address
// sanitizer sees any read past the buffer.
std::vector<std::int16_t> interleave(const std::vector<Frame>& frames) {
  std::vector<std::int16_t> samples;
  samples.reserve(frames.size() * 2);
  for (const Frame& f : frames) {
    samples.push_back(f.left);
    samples.push_back(f.right);
  }
  return samples;
}

class AnalyseBufferTest : public ::testing::Test {
 protected:
  BufferLevels analyse(const std::vector<std::int16_t>& samples, std::int32_t mode = 0) {
    return analyseBuffer(samples.data(), static_cast<std::int32_t>(samples.size() / 2), mode,
                         settings, pending, fields);
  }
  // The frames given, then the three the analysis leaves out.
  BufferLevels analyseExamined(std::vector<Frame> frames, std::int32_t mode = 0) {
    frames.insert(frames.end(), 3, Frame{0, 0});
    return analyse(interleave(frames), mode);
  }

  MeterSettings settings;
  bool pending = false;
  PlainMeasurementFields fields;
};

TEST_F(AnalyseBufferTest, PeaksPhaseAndSums) {
  const struct {
    const char* what;
    std::vector<Frame> frames;
    std::int32_t mode;
    BufferLevels expected;  // left, right, mid, side, phase, sum left, sum right
  } cases[] = {
      {"silence", {{0, 0}, {0, 0}}, 0, {0, 0, 0, 0, 0, 0, 0}},
      {"identical channels",
       {{1000, 1000}, {-2000, -2000}},
       0,
       {2000, 2000, 2000, 0, 0, 3000, 3000}},
      {"silent left", {{0, 1000}, {0, -600}}, 0, {0, 1000, 500, 500, 90, 0, 1600}},
      {"silent right", {{1000, 0}, {-600, 0}}, 0, {1000, 0, 500, 500, -90, 1600, 0}},
      {"left = -right",
       {{1000, -1000}, {-32767, 32767}},
       0,
       {32767, 32767, 0, 32767, 0, 33767, 33767}},
      {"near opposite, mid rounds to 0",
       {{-32768, 32767}},
       0,
       {32768, 32767, 0, 32767, 0, 32768, 32767}},
      {"full scale negative", {{-32768, -32768}}, 0, {32768, 32768, 32768, 0, 0, 32768, 32768}},
      {"widest side", {{32767, -32768}}, 0, {32767, 32768, 0, 32767, 0, 32767, 32768}},
      {"halves truncate toward zero", {{3, 0}, {0, -5}}, 0, {3, 5, 2, 2, 90, 3, 5}},
      {"atan(1/2) doubled, truncated", {{300, 100}}, 0, {300, 100, 200, 100, -53, 300, 100}},
      {"right larger keeps sign", {{100, 300}}, 0, {100, 300, 200, 100, 53, 100, 300}},
      {"mono left analyses as stereo", {{300, 100}}, 1, {300, 100, 200, 100, -53, 300, 100}},
      {"mono right analyses as stereo", {{300, 100}}, 2, {300, 100, 200, 100, -53, 300, 100}},
      {"mode 3 full scale", {{-32768, -32768}}, 3, {32768, 32768, 32768, 0, 0, 32768, 32768}},
      {"mode 3 puts the mid on the left",
       {{1000, -3000}, {3, 0}},
       3,
       {1000, 3000, 1000, 2000, 126, 1001, 3000}},
      {"mode 3 phase sign from the mid",
       {{3000, 1000}},
       3,
       {2000, 1000, 2000, 1000, -53, 2000, 1000}},
      {"unknown mode analyses as stereo", {{300, 100}}, 7, {300, 100, 200, 100, -53, 300, 100}},
  };
  for (const auto& c : cases) {
    const BufferLevels got = analyseExamined(c.frames, c.mode);
    EXPECT_EQ(got.bufferPeakLeft, c.expected.bufferPeakLeft) << c.what;
    EXPECT_EQ(got.bufferPeakRight, c.expected.bufferPeakRight) << c.what;
    EXPECT_EQ(got.midPeak, c.expected.midPeak) << c.what;
    EXPECT_EQ(got.sidePeak, c.expected.sidePeak) << c.what;
    EXPECT_EQ(got.phaseAngle, c.expected.phaseAngle) << c.what;
    EXPECT_EQ(got.magnitudeSumLeft, c.expected.magnitudeSumLeft) << c.what;
    EXPECT_EQ(got.magnitudeSumRight, c.expected.magnitudeSumRight) << c.what;
  }
}

TEST_F(AnalyseBufferTest, SilenceReadsMinus99AndNeverClips) {
  const BufferLevels levels = analyseExamined(std::vector<Frame>(100, Frame{0, 0}));
  EXPECT_EQ(levelDb(levels.bufferPeakLeft, 0), -99.0);
  EXPECT_EQ(levelDb(levels.bufferPeakRight, 0), -99.0);
  MeterState state;
  latchClips(levels, -0.5, state);
  EXPECT_FALSE(state.clipLatchedLeft);
  EXPECT_FALSE(state.clipLatchedRight);
}

TEST_F(AnalyseBufferTest, FullScaleNegativeSampleClipsAtZeroDbAndTopsTheScale) {
  const BufferLevels levels = analyseExamined({{-32768, 0}});
  MeterState state;
  latchClips(levels, 0.0, state);
  EXPECT_TRUE(state.clipLatchedLeft);
  EXPECT_FALSE(state.clipLatchedRight);
  PositionTable identity;
  for (std::size_t i = 0; i < identity.size(); ++i) identity[i] = static_cast<std::int32_t>(i);
  EXPECT_EQ(positionOf(levels.bufferPeakLeft, 10, identity), 3277);
}

TEST_F(AnalyseBufferTest, LastThreeFramesAndShortBuffersAreNotExamined) {
  const std::vector<Frame> loudTail = {
      {100, 200}, {-32768, -32768}, {-32768, 32767}, {32767, -32768}};
  BufferLevels got = analyse(interleave(loudTail));
  EXPECT_EQ(got.bufferPeakLeft, 100);
  EXPECT_EQ(got.bufferPeakRight, 200);
  EXPECT_EQ(got.midPeak, 150);
  EXPECT_EQ(got.sidePeak, 50);
  EXPECT_EQ(got.magnitudeSumLeft, 100);

  // Not even a negative offset raises a peak when nothing is examined.
  settings.dcOffsetComp = true;
  settings.dcOffsetLeft = -10;
  settings.dcOffsetRight = -10;
  for (std::size_t frames = 0; frames < 4; ++frames) {
    const std::vector<Frame> loud(frames, Frame{-32768, 32767});
    got = analyse(interleave(loud));
    EXPECT_EQ(got.bufferPeakLeft, 0) << frames;
    EXPECT_EQ(got.bufferPeakRight, 0) << frames;
    EXPECT_EQ(got.midPeak, 0) << frames;
    EXPECT_EQ(got.sidePeak, 0) << frames;
    EXPECT_EQ(got.magnitudeSumLeft, 0) << frames;
    EXPECT_EQ(got.phaseAngle, 0) << frames;
  }
}

TEST_F(AnalyseBufferTest, CorrectionShiftsPeaksButNotMidSideOrSums) {
  const struct {
    std::int32_t offsetLeft, offsetRight;
    std::vector<Frame> frames;
    std::int32_t peakLeft, peakRight;
  } cases[] = {
      {100, 50, {{100, 49}, {-90, -20}}, 0, 0},  // at or below the offset
      {100, 50, {{-150, 20}, {30, 51}}, 50, 1},
      {-10, 0, {{0, 0}}, 10, 0},  // a negative offset raises silence
      {kInt32Max, kInt32Max, {{-32768, 32767}}, 0, 0},
      {kInt32Min, 0, {{-32768, 0}}, kInt32Max, 0},  // held at what 32 bits hold
      {0, 0, {{-32768, 5}}, 32768, 5},
  };
  for (const auto& c : cases) {
    settings.dcOffsetLeft = c.offsetLeft;
    settings.dcOffsetRight = c.offsetRight;
    settings.dcOffsetComp = false;
    const BufferLevels raw = analyseExamined(c.frames);
    settings.dcOffsetComp = true;
    const BufferLevels got = analyseExamined(c.frames);
    EXPECT_EQ(got.bufferPeakLeft, c.peakLeft) << c.offsetLeft;
    EXPECT_EQ(got.bufferPeakRight, c.peakRight) << c.offsetRight;
    EXPECT_EQ(got.midPeak, raw.midPeak);
    EXPECT_EQ(got.sidePeak, raw.sidePeak);
    EXPECT_EQ(got.magnitudeSumLeft, raw.magnitudeSumLeft);
    EXPECT_EQ(got.magnitudeSumRight, raw.magnitudeSumRight);
    // The offsets are only read.
    EXPECT_EQ(settings.dcOffsetLeft, c.offsetLeft);
    EXPECT_EQ(settings.dcOffsetRight, c.offsetRight);
  }
}

TEST_F(AnalyseBufferTest, PendingMeasurementDividesByTheWholeBuffer) {
  // 48000 per second: 1584 frames, of which 1581 are examined.
  const std::int32_t frameCount = bufferBytesFor(48000) / 4;
  ASSERT_EQ(frameCount, 1584);
  std::vector<Frame> frames(static_cast<std::size_t>(frameCount), Frame{-100, 37});
  std::fill(frames.end() - 3, frames.end(), Frame{30000, 30000});
  const auto samples = interleave(frames);
  settings.dcOffsetComp = true;
  settings.dcOffsetLeft = 5000;  // stale: must not apply to the measuring buffer
  settings.dcOffsetRight = 5000;
  pending = true;

  BufferLevels got = analyse(samples);
  EXPECT_EQ(got.bufferPeakLeft, 100);
  EXPECT_EQ(got.bufferPeakRight, 37);
  EXPECT_EQ(got.magnitudeSumLeft, 1581 * 100);
  EXPECT_EQ(settings.dcOffsetLeft, 1581 * 100 / 1584);  // 99, not 100
  EXPECT_EQ(settings.dcOffsetRight, 1581 * 37 / 1584);  // 36, not 37
  EXPECT_FALSE(pending);
  EXPECT_EQ(fields.dcOffsetLeft, "99");
  EXPECT_EQ(fields.dcOffsetRight, "36");

  // The next buffer is corrected with the new offsets.
  got = analyse(samples);
  EXPECT_EQ(got.bufferPeakLeft, 1);
  EXPECT_EQ(got.bufferPeakRight, 1);
  EXPECT_EQ(settings.dcOffsetLeft, 99);
}

TEST_F(AnalyseBufferTest, MeasurementOfAnEmptyBufferGivesZero) {
  settings.dcOffsetLeft = 12;
  settings.dcOffsetRight = 34;
  pending = true;
  const BufferLevels got = analyseBuffer(nullptr, 0, 0, settings, pending, fields);
  EXPECT_EQ(got.bufferPeakLeft, 0);
  EXPECT_EQ(settings.dcOffsetLeft, 0);
  EXPECT_EQ(settings.dcOffsetRight, 0);
  EXPECT_FALSE(pending);
  EXPECT_EQ(fields.dcOffsetLeft, "0");
  EXPECT_EQ(fields.dcOffsetRight, "0");
}

TEST_F(AnalyseBufferTest, LongBuffersSumInSixtyFourBits) {
  const std::vector<Frame> frames(200000, Frame{-32768, 32767});
  const BufferLevels got = analyse(interleave(frames));
  EXPECT_EQ(got.magnitudeSumLeft, std::int64_t{32768} * 199997);
  EXPECT_EQ(got.magnitudeSumRight, std::int64_t{32767} * 199997);
  EXPECT_EQ(got.bufferPeakLeft, 32768);
}

// The analysis written straight from its description: per-frame magnitudes,
// per-frame DC subtraction, 64-bit peaks held to 32 bits when stored.
BufferLevels referenceAnalysis(const std::vector<std::int16_t>& samples, std::int32_t frameCount,
                               std::int32_t channelMode, MeterSettings& settings, bool& pending,
                               std::pair<std::string, std::string>& readouts) {
  std::int64_t peakLeft = 0, peakRight = 0, sumLeft = 0, sumRight = 0;
  std::int32_t midPeak = 0, sidePeak = 0;
  for (std::int32_t i = 0; i < frameCount - 3; ++i) {
    std::int32_t l = samples[2 * static_cast<std::size_t>(i)];
    const std::int32_t r = samples[2 * static_cast<std::size_t>(i) + 1];
    const std::int32_t mid = std::abs((l + r) / 2);
    const std::int32_t side = std::abs((l - r) / 2);
    if (channelMode == 3) l = mid;
    std::int64_t magLeft = std::abs(l);
    std::int64_t magRight = std::abs(r);
    sumLeft += magLeft;
    sumRight += magRight;
    if (settings.dcOffsetComp && !pending) {
      magLeft -= settings.dcOffsetLeft;
      magRight -= settings.dcOffsetRight;
    }
    if (magLeft > peakLeft) peakLeft = magLeft;
    if (magRight > peakRight) peakRight = magRight;
    if (mid > midPeak) midPeak = mid;
    if (side > sidePeak) sidePeak = side;
  }
  if (pending) {
    settings.dcOffsetLeft = frameCount > 0 ? static_cast<std::int32_t>(sumLeft / frameCount) : 0;
    settings.dcOffsetRight = frameCount > 0 ? static_cast<std::int32_t>(sumRight / frameCount) : 0;
    pending = false;
    readouts = {std::to_string(settings.dcOffsetLeft), std::to_string(settings.dcOffsetRight)};
  }
  BufferLevels levels;
  levels.bufferPeakLeft = static_cast<std::int32_t>(std::min<std::int64_t>(peakLeft, kInt32Max));
  levels.bufferPeakRight = static_cast<std::int32_t>(std::min<std::int64_t>(peakRight, kInt32Max));
  levels.midPeak = midPeak;
  levels.sidePeak = sidePeak;
  levels.magnitudeSumLeft = sumLeft;
  levels.magnitudeSumRight = sumRight;
  if (midPeak != 0) {
    const double ratio = static_cast<double>(sidePeak) / midPeak;
    levels.phaseAngle = static_cast<std::int32_t>(std::atan(ratio) * (180 / std::numbers::pi) * 2);
    if (levels.bufferPeakLeft > levels.bufferPeakRight) levels.phaseAngle = -levels.phaseAngle;
  }
  return levels;
}

TEST(AnalyseBufferReference, AgreesOnSeededRandomBuffers) {
  std::mt19937 rng(20240611);
  auto pick = [&](std::int32_t lo, std::int32_t hi) {
    return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng);
  };
  const std::int16_t extremes[] = {-32768, -32767, -1, 0, 1, 32766, 32767};
  for (int round = 0; round < 600; ++round) {
    const std::int32_t frameCount = round < 40 ? round % 8 : pick(0, 3300);
    const std::int32_t mode = pick(0, 3);
    const int kind = pick(0, 4);
    const std::int32_t level = pick(1, 32768);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frameCount) * 2);
    for (std::size_t i = 0; i < samples.size(); i += 2) {
      auto sample = [&] { return static_cast<std::int16_t>(pick(-level, level - 1)); };
      switch (kind) {
        case 0:  // independent channels
          samples[i] = sample();
          samples[i + 1] = sample();
          break;
        case 1:  // nothing but the extremes
          samples[i] = extremes[pick(0, 6)];
          samples[i + 1] = extremes[pick(0, 6)];
          break;
        case 2:  // nearly the same signal
          samples[i] = sample();
          samples[i + 1] =
              static_cast<std::int16_t>(std::clamp(samples[i] + pick(-3, 3), -32768, 32767));
          break;
        case 3:  // nearly opposite
          samples[i] = sample();
          samples[i + 1] =
              static_cast<std::int16_t>(std::clamp(-samples[i] + pick(-3, 3), -32768, 32767));
          break;
        default:  // small values around a DC offset
          samples[i] = static_cast<std::int16_t>(pick(-40, 60));
          samples[i + 1] = static_cast<std::int16_t>(pick(-60, 40));
      }
    }
    const std::int32_t offsetChoices[] = {0,         pick(-100, 40000), pick(0, 60),
                                          kInt32Min, kInt32Max,         pick(kInt32Min, kInt32Max)};
    MeterSettings settings;
    settings.dcOffsetComp = pick(0, 1) == 1;
    settings.dcOffsetLeft = offsetChoices[pick(0, 5)];
    settings.dcOffsetRight = offsetChoices[pick(0, 5)];
    bool pending = pick(0, 3) == 0;
    MeterSettings expectedSettings = settings;
    bool expectedPending = pending;
    std::pair<std::string, std::string> expectedReadouts{"0", "0"};

    PlainMeasurementFields fields;
    const BufferLevels got =
        analyseBuffer(samples.data(), frameCount, mode, settings, pending, fields);
    const BufferLevels want = referenceAnalysis(samples, frameCount, mode, expectedSettings,
                                                expectedPending, expectedReadouts);
    SCOPED_TRACE(::testing::Message() << "round " << round << ", " << frameCount << " frames, mode "
                                      << mode << ", kind " << kind);
    ASSERT_EQ(got.bufferPeakLeft, want.bufferPeakLeft);
    ASSERT_EQ(got.bufferPeakRight, want.bufferPeakRight);
    ASSERT_EQ(got.midPeak, want.midPeak);
    ASSERT_EQ(got.sidePeak, want.sidePeak);
    ASSERT_EQ(got.phaseAngle, want.phaseAngle);
    ASSERT_EQ(got.magnitudeSumLeft, want.magnitudeSumLeft);
    ASSERT_EQ(got.magnitudeSumRight, want.magnitudeSumRight);
    ASSERT_EQ(settings.dcOffsetLeft, expectedSettings.dcOffsetLeft);
    ASSERT_EQ(settings.dcOffsetRight, expectedSettings.dcOffsetRight);
    ASSERT_EQ(pending, expectedPending);
    ASSERT_EQ(fields.dcOffsetLeft, expectedReadouts.first);
    ASSERT_EQ(fields.dcOffsetRight, expectedReadouts.second);
  }
}

TEST(LatchClips, LatchesAtTheClipAmplitudeAndNeverClears) {
  const struct {
    double clipLevelDb;
    std::int32_t peakLeft, peakRight;
    bool left, right;
  } cases[] = {
      {-0.5, 30934, 30935, false, true},
      {-0.5, 32768, 0, true, false},
      {0.0, 32767, 32768, false, true},
      {0.1, 32768, 32768, false, false},
      {-1000, 0, 0, true, true},  // clip amplitude 0: even silence
      {std::nan(""), 32768, 32768, false, false},
  };
  for (const auto& c : cases) {
    BufferLevels levels;
    levels.bufferPeakLeft = c.peakLeft;
    levels.bufferPeakRight = c.peakRight;
    MeterState state;
    latchClips(levels, c.clipLevelDb, state);
    EXPECT_EQ(state.clipLatchedLeft, c.left) << c.clipLevelDb << ' ' << c.peakLeft;
    EXPECT_EQ(state.clipLatchedRight, c.right) << c.clipLevelDb << ' ' << c.peakRight;

    latchClips(BufferLevels{}, -0.5, state);  // a quiet buffer leaves latches on
    EXPECT_EQ(state.clipLatchedLeft, c.left);
    EXPECT_EQ(state.clipLatchedRight, c.right);
  }
}

}  // namespace
}  // namespace tarnvale
