#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "meter/ballistics.h"
#include "meter/buffer_analysis.h"
#include "meter/decibels.h"
#include "meter/measurement_fields.h"
#include "meter/meter_state.h"
#include "meter/position_table.h"
#include "settings/meter_settings.h"
#include "tests/support/fake_clock.h"

namespace tarnvale {
namespace {

class BallisticsTest : public ::testing::Test {
 protected:
  BallisticsTest() { buildPositionTable(table); }

  MeterReadings update(std::int32_t peakLeft, std::int32_t peakRight, std::int32_t phase = 0) {
    BufferLevels levels;
    levels.bufferPeakLeft = peakLeft;
    levels.bufferPeakRight = peakRight;
    levels.phaseAngle = phase;
    return updateMeter(levels, calibrationDb, divisor, state,
                       MeterContext{settings, table, fields, clock});
  }

  // An amplitude whose position is `position` at divisor 10.
  std::int32_t amplitudeAt(std::int32_t position) const {
    for (std::size_t i = 0; i < table.size(); ++i) {
      if (table[i] == position) return static_cast<std::int32_t>(i) * 10;
    }
    ADD_FAILURE() << "no amplitude maps to " << position;
    return 0;
  }

  MeterSettings settings;  // ring length 9, hold reset 2000 ms, holds not infinite
  PositionTable table{};
  PlainMeasurementFields fields;  // decay "4"
  test::FakeClock clock{10000};
  MeterState state;
  double calibrationDb = 0.0;
  double divisor = 10.0;
};

TEST_F(BallisticsTest, BarJumpsUpThenFallsByTwiceTheDecayAndSettlesAtOne) {
  const std::int32_t loud = amplitudeAt(300);
  update(loud, loud);
  EXPECT_EQ(state.peakL, 300);
  update(loud, loud);
  EXPECT_EQ(state.peakL, 300);
  for (std::int32_t k = 1; k <= 40; ++k) {
    update(0, 0);
    const std::int32_t expected = std::max(1, 300 - 8 * k);  // 37 buffers reach 4, the 38th 1
    ASSERT_EQ(state.peakL, expected) << "buffer " << k;
    ASSERT_EQ(state.peakR, expected) << "buffer " << k;
  }
}

TEST_F(BallisticsTest, BarMovesTowardItsTarget) {
  const struct {
    std::string decay;
    std::int32_t before, target, after;
  } cases[] = {
      {"4", 300, 0, 292},
      {"2", 300, 297, 296},  // falls past the target...
      {"2", 296, 297, 297},  // ...and is lifted back next time
      {"4", 100, 300, 300},
      {"4", 300, 300, 300},
      {"4", 5, 0, 1},
      {"4", 0, 0, 1},
      {"0", 300, 0, 300},
      {"-3", 300, 0, 306},
      {"-3", 510, 0, 512},
      {"fast", 300, 0, 296},  // not a number: decay 2
      {"2147483647", 300, 0, 1},
      {"-2147483648", 300, 0, 512},
  };
  for (const auto& c : cases) {
    state.peakL = c.before;
    state.peakR = c.before;
    fields.decay = c.decay;
    const std::int32_t amplitude = amplitudeAt(c.target);
    update(amplitude, amplitude);
    EXPECT_EQ(state.peakL, c.after) << c.decay << " from " << c.before << " to " << c.target;
    EXPECT_EQ(state.peakR, c.after) << c.decay << " from " << c.before << " to " << c.target;
  }
}

TEST_F(BallisticsTest, NegativeDecayRisesToTheTop) {
  fields.decay = "-3";
  const std::int32_t loud = amplitudeAt(300);
  update(loud, loud);
  for (std::int32_t k = 1; k <= 40; ++k) {
    update(0, 0);
    ASSERT_EQ(state.peakL, std::min(512, 300 + 6 * k)) << "buffer " << k;
  }
}

TEST(ReadDecayStep, WholeNumbersOrRedAndTwo) {
  const struct {
    std::string text;
    std::int32_t step;
    bool red;
  } cases[] = {
      {"4", 4, false},  {" 10", 10, false}, {"-3", -3, false}, {"$A", 10, false},
      {"1.5", 2, true}, {"", 2, true},      {"four", 2, true}, {"4 ", 2, true},
  };
  for (const auto& c : cases) {
    PlainMeasurementFields fields;
    fields.decay = c.text;
    fields.decayRed = !c.red;  // whatever the last buffer left
    MeterState state;
    readDecayStep(fields, state);
    EXPECT_EQ(state.decayStep, c.step) << '"' << c.text << '"';
    EXPECT_EQ(fields.decayRed, c.red) << '"' << c.text << '"';
  }
}

TEST_F(BallisticsTest, HoldsResetOnlyAfterTheHoldTimeEvenAcrossTheTickWrap) {
  const struct {
    std::uint32_t raisedAt;
    std::int32_t holdResetMs;
  } cases[] = {
      {10000, 2000}, {0xFFFFF000u, 2000}, {0xFFFFF000u, 8000}, {0xFFFFFFFFu, 2000}, {5, 0}};
  const std::int32_t loud = amplitudeAt(300);
  BufferLevels clipping;
  clipping.bufferPeakLeft = clipping.bufferPeakRight = 32768;
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "raised at " << c.raisedAt << ", " << c.holdResetMs);
    state = MeterState{};
    settings.holdResetMs = c.holdResetMs;
    clock.set(c.raisedAt);
    update(loud, loud);
    ASSERT_EQ(state.peakholdL, 300);
    ASSERT_EQ(state.lastHoldTick, c.raisedAt);

    const std::uint32_t deadline = c.raisedAt + static_cast<std::uint32_t>(c.holdResetMs);
    clock.set(deadline);
    latchClips(clipping, -0.5, state);
    update(loud, loud);
    EXPECT_EQ(state.peakholdL, 300);
    EXPECT_EQ(state.peakholdR, 300);
    EXPECT_TRUE(state.clipLatchedLeft);

    // A clip in the buffer of the reset is put out before anything is drawn.
    clock.set(deadline + 1);
    latchClips(clipping, -0.5, state);
    update(loud, loud);
    EXPECT_EQ(state.peakholdL, 0);
    EXPECT_EQ(state.peakholdR, 0);
    EXPECT_FALSE(state.clipLatchedLeft);
    EXPECT_FALSE(state.clipLatchedRight);

    // The next buffer raises the holds to the bars again.
    clock.advance(33);
    update(loud, loud);
    EXPECT_EQ(state.peakholdL, 300);
    EXPECT_EQ(state.lastHoldTick, deadline + 34);
  }
}

TEST_F(BallisticsTest, RiseOnEitherSidePostponesBothResets) {
  const std::int32_t loud = amplitudeAt(300);
  clock.set(10000);
  update(loud, amplitudeAt(200));
  clock.set(11000);
  update(loud, loud);  // the right hold rises
  ASSERT_EQ(state.peakholdR, 300);
  for (std::uint32_t tick : {12001u, 13000u}) {
    clock.set(tick);
    update(loud, loud);
    EXPECT_EQ(state.peakholdL, 300) << tick;
  }
  clock.set(13001);
  update(loud, loud);
  EXPECT_EQ(state.peakholdL, 0);
  EXPECT_EQ(state.peakholdR, 0);
}

TEST_F(BallisticsTest, InfiniteHoldOnlyResetsByHand) {
  settings.holdPeaks = true;
  const std::int32_t loud = amplitudeAt(300);
  update(loud, loud);
  state.clipLatchedRight = true;
  clock.advance(3'000'000);
  update(0, 0);
  EXPECT_EQ(state.peakholdL, 300);
  EXPECT_TRUE(state.clipLatchedRight);

  const double heldDb = state.heldPeakDbLeft;
  const std::uint32_t heldTick = state.lastHoldTick;
  resetHolds(state);
  EXPECT_EQ(state.peakholdL, 0);
  EXPECT_EQ(state.peakholdR, 0);
  EXPECT_FALSE(state.clipLatchedRight);
  EXPECT_EQ(state.heldPeakDbLeft, heldDb);
  EXPECT_EQ(state.lastHoldTick, heldTick);
}

TEST_F(BallisticsTest, NegativeHoldTimeResetsInEveryBuffer) {
  const std::int32_t loud = amplitudeAt(300);
  for (std::int32_t holdResetMs : {-1, std::numeric_limits<std::int32_t>::min()}) {
    settings.holdResetMs = holdResetMs;
    for (int buffer = 0; buffer < 3; ++buffer) {
      state.clipLatchedLeft = true;
      update(loud, loud);
      EXPECT_EQ(state.peakholdL, 0) << holdResetMs;
      EXPECT_FALSE(state.clipLatchedLeft) << holdResetMs;
      if (buffer == 1) clock.advance(33);
    }
  }
}

TEST_F(BallisticsTest, HeldDbIsThisBuffersRawPeak) {
  calibrationDb = -4.0;
  const std::int32_t loud = amplitudeAt(300);
  update(loud, 0);
  EXPECT_DOUBLE_EQ(state.heldPeakDbLeft, 20 * std::log10(loud / 32768.0) + 4);
  EXPECT_EQ(state.heldPeakDbRight, -99.0);

  clock.set(12001);  // reset while the bar falls
  update(100, 0);
  ASSERT_EQ(state.peakholdL, 0);
  clock.set(12034);
  update(100, 0);
  EXPECT_EQ(state.peakholdL, 284);                                             // the falling bar...
  EXPECT_DOUBLE_EQ(state.heldPeakDbLeft, 20 * std::log10(100 / 32768.0) + 4);  // ...its own peak
}

TEST_F(BallisticsTest, PhaseAverageOfTheLastSixty) {
  auto repeat = [](std::int32_t value, int times) {
    return std::vector<std::int32_t>(times, value);
  };
  auto join = [](std::vector<std::int32_t> a, const std::vector<std::int32_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const struct {
    const char* what;
    std::vector<std::int32_t> phases;
    std::int32_t average;
  } cases[] = {
      {"one buffer", {90}, 1},
      {"truncated toward zero", {-179}, -2},
      {"sixty of 90", repeat(90, 60), 90},
      {"59 of 90 and one of -179", join(repeat(90, 59), {-179}), 85},
      {"the oldest drops out", join({-179}, repeat(90, 60)), 90},
  };
  for (const auto& c : cases) {
    state = MeterState{};
    MeterReadings readings;
    for (std::int32_t phase : c.phases) readings = update(0, 0, phase);
    EXPECT_EQ(readings.phaseAverage, c.average) << c.what;
  }
}

TEST_F(BallisticsTest, RingLengthOneAveragesTheCurrentPeaks) {
  settings.avgRingLength = 1;
  for (std::int32_t peak : {5000, 20, 0, 32768, 7}) {
    const MeterReadings r = update(peak, peak / 2);
    EXPECT_EQ(r.avgLevelLeft, peak);
    EXPECT_EQ(r.avgLevelRight, peak / 2);
    EXPECT_EQ(r.avgPositionLeft, positionOf(peak, divisor, table));
    EXPECT_EQ(r.avgDbLeft, levelDb(peak, calibrationDb));
  }
}

TEST_F(BallisticsTest, AveragesRiseOverTheRingLength) {
  settings.avgRingLength = 9;
  const std::int32_t finalPosition = positionOf(9000, divisor, table);
  for (std::int32_t k = 1; k <= 12; ++k) {
    const MeterReadings r = update(9000, 4500);
    const std::int32_t level = 1000 * std::min(k, 9);
    EXPECT_EQ(r.avgLevelLeft, level) << k;
    EXPECT_EQ(r.avgLevelRight, level / 2) << k;
    EXPECT_EQ(r.avgPositionLeft, positionOf(level, divisor, table)) << k;
    EXPECT_EQ(r.avgPositionLeft == finalPosition, k >= 9) << k;
  }
}

TEST_F(BallisticsTest, SilentAverageReadsMinus99AtPositionZero) {
  const MeterReadings r = update(0, 0);
  EXPECT_EQ(r.avgLevelLeft, 0);
  EXPECT_EQ(r.avgDbLeft, -99.0);
  EXPECT_EQ(r.avgDbRight, -99.0);
  EXPECT_EQ(r.avgPositionLeft, 0);
  EXPECT_EQ(r.avgPositionRight, 0);
}

TEST_F(BallisticsTest, EntriesOfAnEarlierRingLengthStayUntilOverwritten) {
  settings.avgRingLength = 9;
  for (int i = 0; i < 5; ++i) update(900, 900);
  settings.avgRingLength = 3;
  EXPECT_EQ(update(0, 0).avgLevelLeft, 900);  // written to slot 5; slots 0..2 hold 900
  EXPECT_EQ(update(0, 0).avgLevelLeft, 600);
}

TEST_F(BallisticsTest, RingLengthOutsideItsRangeIsHeldWithin) {
  const struct {
    std::int32_t length;
    std::int32_t average, nextPos;
  } cases[] = {{0, 1000, 0}, {-5, 1000, 0}, {1000, 1, 1}, {5000, 1, 1}};
  for (const auto& c : cases) {
    state = MeterState{};
    settings.avgRingLength = c.length;
    EXPECT_EQ(update(1000, 1000).avgLevelLeft, c.average) << c.length;
    EXPECT_EQ(state.avgRingPos, c.nextPos) << c.length;
  }
}

TEST_F(BallisticsTest, DamagedRingPositionsStartAgainAtZero) {
  state.avgRingPos = 5000;
  state.phaseRingPos = -3;
  update(700, 800, 45);
  EXPECT_EQ(state.avgHistoryLeft[0], 700);
  EXPECT_EQ(state.avgHistoryRight[0], 800);
  EXPECT_EQ(state.phaseHistory[0], 45);
  EXPECT_EQ(state.avgRingPos, 1);
  EXPECT_EQ(state.phaseRingPos, 1);
}

}  // namespace
}  // namespace tarnvale
