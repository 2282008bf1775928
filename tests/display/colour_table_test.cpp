#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include "display/colour_table.h"
#include "settings/meter_settings.h"

namespace tarnvale {
namespace {

constexpr TColor32 kGreen = 0x0000FF00;
constexpr TColor32 kYellow = 0x00FFFF00;
constexpr TColor32 kRed = 0x00FF0000;
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// Entries first..last all hold `colour`.
struct Span {
  int first, last;
  TColor32 colour;
};

MeterSettings zones(std::int32_t amberStart, std::int32_t redStart) {
  MeterSettings s;
  s.baseColor = static_cast<std::int32_t>(kGreen);
  s.midColor = static_cast<std::int32_t>(kYellow);
  s.topColor = static_cast<std::int32_t>(kRed);
  s.amberStart = amberStart;
  s.redStart = redStart;
  return s;
}

// The table between two guard areas, so that a write past either end shows
// even without the address sanitizer.
struct GuardedTable {
  static constexpr TColor32 kGuard = 0x5A5A5A5A;
  std::array<TColor32, 16> before;
  ColourTable table{};
  std::array<TColor32, 16> after;
  GuardedTable() {
    before.fill(kGuard);
    after.fill(kGuard);
  }
  bool guardsIntact() const {
    for (std::size_t i = 0; i < before.size(); ++i)
      if (before[i] != kGuard || after[i] != kGuard) return false;
    return true;
  }
};

void expectSpans(const ColourTable& table, const std::vector<Span>& spans, const char* label) {
  for (const Span& s : spans)
    for (int i = s.first; i <= s.last; ++i)
      EXPECT_EQ(table[static_cast<std::size_t>(i)], s.colour) << label << " entry " << i;
}

TEST(ColourTable, GradedZonesOfTheDefaultBoundariesTruncateEachStep) {
  GuardedTable g;
  buildColourTable(g.table, zones(32, 53));
  // Steps of 255/20 = 12.75 per channel, truncated: entry 32 is 127, not 128.
  expectSpans(g.table,
              {{0, 22, kGreen},
               {23, 23, 0x000CFF00},
               {24, 24, 0x0019FF00},
               {32, 32, 0x007FFF00},
               {41, 41, 0x00F2FF00},
               {42, 43, kYellow},
               {44, 44, 0x00FFF200},
               {53, 53, 0x00FF7F00},
               {62, 62, 0x00FF0C00},
               {63, 63, kRed},
               {64, 80, 0}},  // nothing written above the last block
              "defaults");
  for (TColor32 entry : g.table) EXPECT_EQ(entry >> 24, 0u);
  EXPECT_TRUE(g.guardsIntact());
}

TEST(ColourTable, OnlyRedGreenAndBlueAreWritten) {
  MeterSettings s = zones(32, 53);
  // Alpha bytes in the settings' colours never reach the table...
  s.baseColor = static_cast<std::int32_t>(0xFF00FF00);
  s.midColor = static_cast<std::int32_t>(0x80FFFF00);
  s.topColor = static_cast<std::int32_t>(0x01FF0000);
  ColourTable table{};
  buildColourTable(table, s);
  expectSpans(table, {{0, 22, kGreen}, {32, 32, 0x007FFF00}, {42, 43, kYellow}, {63, 63, kRed}},
              "alpha in settings");
  for (TColor32 entry : table) EXPECT_EQ(entry >> 24, 0u);

  // ...and the table's own alpha bytes are left as they are.
  ColourTable marked;
  marked.fill(0xAB000000);
  buildColourTable(marked, zones(32, 53));
  for (std::size_t i = 0; i < marked.size(); ++i) EXPECT_EQ(marked[i] >> 24, 0xABu) << i;
  EXPECT_EQ(marked[32], 0xAB7FFF00);
}

TEST(ColourTable, BoundaryCasesOfTheRamps) {
  const struct {
    std::int32_t amberStart, redStart;
    std::vector<Span> spans;
  } cases[] = {
      // A low amber start keeps the first ramp on 1..21.
      {5,
       53,
       {{0, 1, kGreen},
        {2, 2, 0x000CFF00},
        {11, 11, 0x007FFF00},
        {20, 20, 0x00F2FF00},
        {21, 43, kYellow},
        {44, 44, 0x00FFF200},
        {63, 63, kRed}}},
      // a1 of 0 is below 1 as well.
      {10, 53, {{0, 1, kGreen}, {2, 2, 0x000CFF00}, {20, 20, 0x00F2FF00}, {21, 43, kYellow}}},
      // Amber above red: r1 is raised to 66, the second ramp is empty, and the
      // last pass paints 60..63 over the first ramp.
      {55,
       50,
       {{0, 45, kGreen},
        {46, 46, 0x000CFF00},
        {59, 59, 0x00B2FF00},
        {60, 63, kRed},
        {64, 64, 0x00F2FF00},
        {65, 66, kYellow},
        {67, 80, 0}}},
      // The highest setup values: the first ramp runs to 70 over the top
      // blocks, a one-step ramp ends at redStart + 10, and the last pass is
      // empty.
      {60,
       62,
       {{49, 50, kGreen},
        {60, 60, 0x007FFF00},
        {63, 63, 0x00A5FF00},
        {70, 71, kYellow},
        {72, 72, kRed},
        {73, 80, 0}}},
  };
  for (const auto& c : cases) {
    GuardedTable g;
    buildColourTable(g.table, zones(c.amberStart, c.redStart));
    expectSpans(g.table, c.spans, "ramps");
    EXPECT_TRUE(g.guardsIntact()) << c.amberStart << "/" << c.redStart;
  }
}

TEST(ColourTable, HandEditedBoundariesStayInsideTheTable) {
  const struct {
    std::int32_t amberStart, redStart;
    std::vector<Span> spans;
  } cases[] = {
      {kMax, kMax, {{0, 80, kGreen}}},
      {kMin, kMin, {{0, 63, kRed}, {64, 80, 0}}},
      {kMin, kMax, {{0, 1, kGreen}, {11, 11, 0x007FFF00}, {21, 80, kYellow}}},
      {kMax, kMin, {{0, 63, kRed}, {64, 80, kGreen}}},
      {70, 75, {{0, 60, kGreen}, {70, 70, 0x007FFF00}, {80, 80, kYellow}}},
      {-40, 500, {{0, 1, kGreen}, {21, 80, kYellow}}},
  };
  for (const auto& c : cases) {
    GuardedTable g;
    buildColourTable(g.table, zones(c.amberStart, c.redStart));
    expectSpans(g.table, c.spans, "hand-edited");
    EXPECT_TRUE(g.guardsIntact()) << c.amberStart << "/" << c.redStart;
  }
}

TEST(ColourTable, FlatZonesTestBaseThenTop) {
  ColourTable table{};
  table.fill(0x00123456);  // would show if the flat zones read the table
  const struct {
    std::int32_t amberStart, redStart, block;
    TColor32 expected;
  } cases[] = {
      {32, 53, 0, kGreen},
      {32, 53, 31, kGreen},
      {32, 53, 32, kYellow},
      {32, 53, 53, kYellow},
      {32, 53, 54, kRed},
      {32, 53, 63, kRed},
      // Amber above red: below both is base, then top wins where both apply.
      {40, 20, 10, kGreen},
      {40, 20, 30, kRed},
      {40, 20, 50, kRed},
  };
  for (const auto& c : cases) {
    MeterSettings s = zones(c.amberStart, c.redStart);
    s.blend = false;
    EXPECT_EQ(zoneColour(table, s, c.block), c.expected)
        << c.amberStart << "/" << c.redStart << " block " << c.block;
  }
}

TEST(ColourTable, BlendedZonesReadTheTable) {
  ColourTable table{};
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<TColor32>(i * 0x010203);
  MeterSettings s = zones(32, 53);
  s.blend = true;
  for (std::int32_t block : {0, 31, 32, 63})
    EXPECT_EQ(zoneColour(table, s, block), table[static_cast<std::size_t>(block)]) << block;
}

}  // namespace
}  // namespace tarnvale
