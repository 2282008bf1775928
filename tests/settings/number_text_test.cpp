#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "settings/number_text.h"

namespace tarnvale {
namespace {

struct IntegerCase {
  std::string text;
  std::optional<std::int32_t> expected;
};

TEST(ParseInteger, AcceptsDecimalAndHexFormsOnly) {
  const IntegerCase cases[] = {
      {"0", 0},
      {"42", 42},
      {"  42", 42},
      {"+7", 7},
      {"-3", -3},
      {"007", 7},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"$FF0000", 16711680},
      {"0xFF0000", 16711680},
      {"0XfF", 255},
      {"xff", 255},
      {"X1", 1},
      {"0x1", 1},
      {"-$10", -16},
      {"$FFFF0000", -65536},
      {"0xFFFFFFFF", -1},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"$123456789", std::nullopt},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"-", std::nullopt},
      {"+-1", std::nullopt},
      {"--1", std::nullopt},
      {"0x", std::nullopt},
      {"$", std::nullopt},
      {"1 ", std::nullopt},
      {"1.0", std::nullopt},
      {"yes", std::nullopt},
      {"0xG", std::nullopt},
      {std::string("1\0", 2), std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parseInteger(c.text), c.expected) << '"' << c.text << '"';
  }
}

struct RealCase {
  std::string text;
  std::string separator;
  std::optional<double> expected;
};

TEST(ParseReal, FollowsTheSeparatorGiven) {
  const RealCase cases[] = {
      {"-0.5", ".", -0.5},
      {" -4 ", ".", -4.0},
      {" 0", ".", 0.0},
      {"+3", ".", 3.0},
      {".5", ".", 0.5},
      {"5.", ".", 5.0},
      {"1e3", ".", 1000.0},
      {"1.5E-2", ".", 0.015},
      {"-0,5", ",", -0.5},
      {"-0,5", ".", std::nullopt},
      {"-0.5", ",", std::nullopt},
      {"", ".", std::nullopt},
      {"-", ".", std::nullopt},
      {".", ".", std::nullopt},
      {"1e", ".", std::nullopt},
      {"1.2.3", ".", std::nullopt},
      {"abc", ".", std::nullopt},
      {"1e999", ".", std::nullopt},
      {"0x10", ".", std::nullopt},
      {"1 2", ".", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parseReal(c.text, c.separator), c.expected)
        << '"' << c.text << "\" with '" << c.separator << "'";
  }
}

struct FormatCase {
  double value;
  std::string separator;
  std::string expected;
};

TEST(FormatGeneral, FifteenDigitsFixedOrScientific) {
  const FormatCase cases[] = {
      {-0.5, ".", "-0.5"},
      {-0.5, ",", "-0,5"},
      {0.0, ".", "0"},
      {4.0, ".", "4"},
      {-4.0, ".", "-4"},
      {100.0, ".", "100"},
      {0.1, ".", "0.1"},
      {1.0 / 3.0, ".", "0.333333333333333"},
      {2.0 / 3.0, ".", "0.666666666666667"},
      {0.00001, ".", "0.00001"},
      {0.000001, ".", "1E-6"},
      {-0.0000015, ".", "-1.5E-6"},
      {123456789012345.0, ".", "123456789012345"},
      {1234567890123456.0, ".", "1.23456789012346E15"},
      {1e20, ".", "1E20"},
      {3.46, ".", "3.46"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(formatGeneral(c.value, c.separator), c.expected) << c.value;
  }
}

TEST(FormatGeneral, ReadsBackThroughParseReal) {
  for (double v : {-0.5, -12.25, 0.1, -96.0, 1e-7, 3.14159265358979}) {
    for (const char* sep : {".", ","}) {
      const auto back = parseReal(formatGeneral(v, sep), sep);
      ASSERT_TRUE(back.has_value());
      EXPECT_NEAR(*back, v, std::abs(v) * 1e-14);
    }
  }
}

}  // namespace
}  // namespace tarnvale
