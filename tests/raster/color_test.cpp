#include "raster/color.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarnvale {
namespace {

TEST(ColorToArgb, MovesRedToTheThirdByteAndSetsAlpha) {
  const struct {
    TColor in;
    TColor32 out;
  } cases[] = {
      {0x0000FF, 0xFFFF0000},   {0x00FF00, 0xFF00FF00}, {0xFF0000, 0xFF0000FF},
      {0x000000, 0xFF000000},   {0xFFFFFF, 0xFFFFFFFF}, {0x123456, 0xFF563412},
      {0x7F123456, 0xFF563412},  // the top byte of a plain colour is not a channel
  };
  for (const auto& c : cases) EXPECT_EQ(colorToArgb(c.in), c.out) << std::hex << c.in;
}

TEST(ArgbToColor, DropsAlpha) {
  const struct {
    TColor32 in;
    TColor out;
  } cases[] = {
      {0xFFFF0000, 0x0000FF}, {0xFF00FF00, 0x00FF00}, {0xFF0000FF, 0xFF0000},
      {0x00563412, 0x123456}, {0x80FFFFFF, 0xFFFFFF}, {0x00000000, 0x000000},
  };
  for (const auto& c : cases) EXPECT_EQ(argbToColor(c.in), c.out) << std::hex << c.in;
}

TEST(ColorConversions, RoundTripKeepsRgb) {
  for (TColor c = 0; c < 0x01000000; c += 0x010203) EXPECT_EQ(argbToColor(colorToArgb(c)), c);
}

// Installs a resolver for one test and restores the previous one afterwards.
class SystemColors : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = setSystemColorResolver([this](int index) {
      asked.push_back(index);
      return static_cast<TColor>(0x010203 * index);
    });
  }
  void TearDown() override { setSystemColorResolver(previous_); }
  std::vector<int> asked;

 private:
  SystemColorResolver previous_;
};

TEST_F(SystemColors, NegativeValuesResolveByTheirLowByte) {
  const struct {
    std::uint32_t in;  // as the settings file stores it
    TColor32 out;
  } cases[] = {
      {0xFF00000F, 0xFF2D1E0F},  // index 15: 0x2D1E0F as 0x00BBGGRR
      {0xFF000005, 0xFF0F0A05},
      {0x80000008, 0xFF181008},
      {0xFFFFFF00, 0xFF000000},  // index 0
  };
  for (const auto& c : cases) {
    asked.clear();
    EXPECT_EQ(colorToArgb(static_cast<TColor>(c.in)), c.out) << std::hex << c.in;
    EXPECT_EQ(asked, std::vector<int>{static_cast<int>(c.in & 0xFF)});
  }
  asked.clear();
  EXPECT_EQ(colorToArgb(0x0000FF), 0xFFFF0000);
  EXPECT_TRUE(asked.empty());  // plain colours are not looked up
}

TEST_F(SystemColors, ResolverResultIsAlwaysAPlainColour) {
  setSystemColorResolver([](int) { return static_cast<TColor>(0xFF0000FF); });
  EXPECT_EQ(resolveSystemColor(static_cast<TColor>(0xFF000001)), 0x0000FF);
  EXPECT_EQ(colorToArgb(static_cast<TColor>(0xFF000001)), 0xFFFF0000);
}

TEST(SystemColorsWithoutResolver, AreBlack) {
  const SystemColorResolver previous = setSystemColorResolver(nullptr);
  EXPECT_EQ(colorToArgb(static_cast<TColor>(0xFF00000F)), 0xFF000000);
  setSystemColorResolver(previous);
}

}  // namespace
}  // namespace tarnvale
