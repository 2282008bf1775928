#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "meter/calibration.h"
#include "meter/measurement_fields.h"
#include "meter/position_table.h"

namespace tarnvale {
namespace {

constexpr const char* kPreviousHeadroom = "previous";

TEST(ReadCalibration, ParsesShowsHeadroomAndDerivesTheDivisor) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    std::string text, separator;
    double db, divisor;
    bool red;
    std::string headroom;
  } cases[] = {
      {"0", ".", 0, 10, false, "0 dB"},
      {"-0", ".", 0, 10, false, "0 dB"},
      {"-4", ".", -4, 6.30957, false, "4 dB"},
      {" -4.5 ", ".", -4.5, 5.95662, false, "4.5 dB"},
      {"-20", ".", -20, 1.0, false, "20 dB"},
      {"-30", ".", -30, 1.0, false, "30 dB"},
      {"-1e300", ".", -1e300, 1.0, false, "1E300 dB"},
      {"3", ".", 3, 14.12538, false, "-3 dB"},
      {"1e300", ".", 1e300, inf, false, "-1E300 dB"},
      {"-3,5", ",", -3.5, 6.68344, false, "3,5 dB"},
      {"-3.5", ",", 0, 10, true, kPreviousHeadroom},
      {"abc", ".", 0, 10, true, kPreviousHeadroom},
      {"", ".", 0, 10, true, kPreviousHeadroom},
      {"1e999", ".", 0, 10, true, kPreviousHeadroom},
  };
  for (const auto& c : cases) {
    PlainMeasurementFields fields;
    fields.calibration = c.text;
    fields.calibrationRed = true;  // left red by an earlier buffer
    fields.headroom = kPreviousHeadroom;
    const Calibration got = readCalibration(fields, c.separator);
    EXPECT_EQ(got.calibrationDb, c.db) << '"' << c.text << '"';
    if (std::isinf(c.divisor)) {
      EXPECT_EQ(got.calibrationDivisor, c.divisor) << '"' << c.text << '"';
    } else {
      EXPECT_NEAR(got.calibrationDivisor, c.divisor, 1e-5) << '"' << c.text << '"';
    }
    EXPECT_EQ(fields.calibrationRed, c.red) << '"' << c.text << '"';
    EXPECT_EQ(fields.headroom, c.headroom) << '"' << c.text << '"';
  }
}

TEST(ReadCalibration, HugeCalibrationStillMapsEveryAmplitude) {
  PlainMeasurementFields fields;
  fields.calibration = "1e300";
  const Calibration c = readCalibration(fields, ".");
  PositionTable table;
  buildPositionTable(table);
  for (std::int32_t amplitude : {0, 1, 32767, 32768}) {
    EXPECT_EQ(positionOf(amplitude, c.calibrationDivisor, table), 0) << amplitude;
  }
}

}  // namespace
}  // namespace tarnvale
