#include <gtest/gtest.h>

#include <string>

#include "meter/readout_text.h"

namespace tarnvale {
namespace {

TEST(ReadoutText, SixCharactersRightAlignedWithOneDecimal) {
  const struct {
    double db;
    const char* separator;
    const char* expected;
  } cases[] = {
      {-99.0, ".", " -99.0"},
      {-3.46, ".", "  -3.5"},
      {-3.46, ",", "  -3,5"},
      {-99.0, ",", " -99,0"},
      {0.0, ".", "   0.0"},
      {-0.04, ".", "  -0.0"},  // just below the calibrated full scale keeps its sign
      {6.02, ".", "   6.0"},
      {-123.45, ".", "-123.5"},
      // Longer texts keep their last six characters.
      {-1234.56, ".", "1234.6"},
      {-1234.56, ",", "1234,6"},
      // At most 7 significant digits: 1234567.8 is shown as 1234568.0.
      {1234567.8, ".", "4568.0"},
      {-1e300, ".", "0000.0"},
      // A separator of more than one byte still counts as one character.
      {-3.46, "\u066B", "  -3\u066B5"},
      {-99.0, "\u066B", " -99\u066B0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(readoutText(c.db, c.separator), c.expected) << c.db << " '" << c.separator << "'";
  }
}

}  // namespace
}  // namespace tarnvale
