#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>

#include "meter/decibels.h"
#include "meter/position_table.h"
#include "meter/rounding.h"

namespace tarnvale {
namespace {

constexpr std::int32_t kUnwritten = -1;

PositionTable builtTable() {
  PositionTable table;
  table.fill(kUnwritten);
  buildPositionTable(table);
  return table;
}

TEST(PositionTable, SampleEntriesAndHalfEntriesRoundUp) {
  const PositionTable table = builtTable();
  const struct {
    std::size_t index;
    std::int32_t position;
  } cases[] = {
      {0, 0},
      {1, 7},
      {2, 13},
      {3, 20},
      {4, 25},
      {10, 56},
      {33, 112},
      {104, 184},
      {328, 256},
      {576, 320},
      {1037, 384},
      {1843, 448},
      {3000, 498},
      {3276, 510},
      {3277, 510},
      // Inside 104..328 these fall exactly on a half.
      {118, 189},
      {146, 198},
      {174, 207},
      {202, 216},
      {230, 225},
      {258, 234},
      {286, 243},
      {314, 252},
      // Their neighbours do not.
      {117, 188},
      {119, 189},
  };
  for (const auto& c : cases) EXPECT_EQ(table[c.index], c.position) << "entry " << c.index;
}

TEST(PositionTable, EveryEntryWrittenWithinScaleAndNeverDecreasing) {
  const PositionTable table = builtTable();
  for (std::size_t i = 0; i < table.size(); ++i) {
    ASSERT_GE(table[i], 0) << i;
    ASSERT_LE(table[i], 510) << i;
    if (i > 0) {
      ASSERT_GE(table[i], table[i - 1]) << i;
    }
  }
}

TEST(FillPositionSegment, WritesOnlyInsideTheTableAndTheSegment) {
  const struct {
    const char* what;
    std::int32_t firstIndex, lastIndex, firstLevel, lastLevel;
    std::size_t from;
    std::vector<std::int32_t> written;  // entries from `from` on; all others untouched
  } cases[] = {
      {"rising", 5, 8, 0, 3, 5, {0, 2, 4, 6}},
      {"halves round up", 0, 4, 0, 1, 0, {0, 1, 1, 2, 2}},
      {"falling, halves still up", 0, 4, 1, 0, 0, {2, 2, 1, 1, 0}},
      {"empty", 9, 8, 0, 255, 0, {}},
      {"one index", 7, 7, 100, 200, 7, {200}},
      {"starts before the table", -2, 2, 0, 4, 0, {4, 6, 8}},
      {"ends after the table", 3275, 3279, 0, 4, 3275, {0, 2, 4}},
      {"wholly outside", 4000, 5000, 0, 255, 0, {}},
  };
  for (const auto& c : cases) {
    PositionTable table;
    table.fill(kUnwritten);
    fillPositionSegment(table, c.firstIndex, c.lastIndex, c.firstLevel, c.lastLevel);
    for (std::size_t i = 0; i < table.size(); ++i) {
      const bool inside = i >= c.from && i < c.from + c.written.size();
      const std::int32_t expected = inside ? c.written[i - c.from] : kUnwritten;
      ASSERT_EQ(table[i], expected) << c.what << ", entry " << i;
    }
  }
}

TEST(FillPositionSegment, ExtremeArgumentsStayDefined) {
  PositionTable table;
  table.fill(kUnwritten);
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  fillPositionSegment(table, kMin, kMax, kMin, kMax);
  // Index 0 lies 2^31 steps into this line of slope 2, which starts at -2^32.
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(table[3277], 6554);
  fillPositionSegment(table, 0, 1, kMin, kMax);
  EXPECT_EQ(table[0], kMin);
  EXPECT_EQ(table[1], kMax);
}

// A table whose entries are their own indices shows which index was chosen.
PositionTable identityTable() {
  PositionTable table;
  std::iota(table.begin(), table.end(), 0);
  return table;
}

TEST(PositionOf, IndexRoundsHalfToEvenAndStaysInTheTable) {
  const PositionTable table = identityTable();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    std::int32_t amplitude;
    double divisor;
    std::int32_t index;
  } cases[] = {
      {0, 10, 0},         {5, 10, 0},        {15, 10, 2},
      {25, 10, 2},        {35, 10, 4},       {26, 10, 3},
      {32767, 10, 3277},  {32768, 10, 3277}, {3277, 1.0, 3277},
      {32768, 1.0, 3277}, {100, 6.3, 16},    {-5, 10, 0},
      {-32768, 1.0, 0},   {100, inf, 0},     {100, 0.0, 3277},
      {0, 0.0, 0},        {100, -10, 0},     {std::numeric_limits<std::int32_t>::max(), 1.0, 3277},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(positionOf(c.amplitude, c.divisor, table), c.index)
        << c.amplitude << " / " << c.divisor;
  }
}

TEST(PositionOf, MapsOntoTheScale) {
  const PositionTable table = builtTable();
  EXPECT_EQ(positionOf(0, 10, table), 0);
  EXPECT_EQ(positionOf(32767, 10, table), 510);
  EXPECT_EQ(positionOf(5, 10, table), 0);
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  const struct {
    double in, out;
  } cases[] = {{0.5, 0},   {1.5, 2},       {2.5, 2},       {3.5, 4}, {-0.5, 0},  {-2.5, -2},
               {-3.5, -4}, {2.4999999, 2}, {2.5000001, 3}, {7, 7},   {-7.2, -7}, {1e300, 1e300}};
  for (const auto& c : cases) EXPECT_EQ(roundHalfEven(c.in), c.out) << c.in;
}

TEST(LevelDb, RelativeToTheCalibratedFullScale) {
  const struct {
    std::int32_t amplitude;
    double calibrationDb, db;
  } cases[] = {
      {0, 0, -99.0},        {0, -4, -99.0},         {-1, 0, -99.0},  {32768, 0, 0.0},
      {32768, -4, 4.0},     {16384, 0, -6.0206},    {1, 0, -90.309}, {30935, 0, -0.5},
      {3277, -20, 0.00053}, {32768, 1e300, -1e300},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(levelDb(c.amplitude, c.calibrationDb), c.db, 1e-4 + std::fabs(c.db) * 1e-12)
        << c.amplitude << " at " << c.calibrationDb;
  }
  EXPECT_EQ(levelDb(0, 0), -99.0);
}

TEST(AmplitudeFromDb, RoundsAndStaysInRange) {
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double db;
    std::int32_t amplitude;
  } cases[] = {
      {-0.5, 30935}, {0, 32768},      {-6.0206, 16384}, {-20, 3277}, {-1000, 0},
      {-inf, 0},     {6.0206, 65536}, {1000, kMax},     {inf, kMax}, {std::nan(""), kMax},
  };
  for (const auto& c : cases) EXPECT_EQ(amplitudeFromDb(c.db), c.amplitude) << c.db;
}

}  // namespace
}  // namespace tarnvale
