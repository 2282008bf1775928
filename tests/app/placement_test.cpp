#include "app/placement.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarnvale {
namespace {

TEST(PlaceWindow, StrictChecksAgainstEveryWorkArea) {
  const std::vector<WorkArea> single = {{0, 0, 1920, 1040}};
  const std::vector<WorkArea> sideBySide = {{0, 0, 1920, 1040}, {1920, 0, 3840, 1080}};
  const std::vector<WorkArea> stacked = {{0, 0, 1920, 1040}, {0, 1080, 1920, 2120}};
  const struct {
    const char* what;
    std::vector<WorkArea> areas;
    int left, top;
    WindowPlace expected;
  } cases[] = {
      {"inside", single, 200, 200, {200, 200}},
      {"left 0 fails the horizontal check", single, 0, 100, {0, 100}},
      {"top 0 fails the vertical check", single, 10, 0, {10, 0}},
      {"right edge on the work area's edge", single, 1770, 100, {0, 100}},
      {"right edge one inside", single, 1769, 100, {1769, 100}},
      {"below every work area", single, 200, 900, {200, 0}},
      {"bottom edge on the work area's edge", single, 200, 440, {200, 0}},
      {"second monitor", sideBySide, 2000, 300, {2000, 300}},
      {"off to the right of both", sideBySide, 3800, 300, {0, 300}},
      {"stacked: the later monitor is remembered", stacked, 100, 2000, {100, 1080}},
      {"stacked: fits the lower one", stacked, 100, 1200, {100, 1200}},
      {"nothing passes: the first work area's top", stacked, 0, 0, {0, 0}},
      {"nothing passes, offset work area",
       std::vector<WorkArea>{{0, 30, 1920, 1040}},
       -5,
       5000,
       {0, 30}},
      // Edges near the int limit: the sums with the window's size must not wrap.
      {"left near the int limit", single, 2147483600, 100, {0, 100}},
      {"top near the int limit", single, 200, 2147483600, {200, 0}},
      {"both at the int limit", sideBySide, 2147483647, 2147483647, {0, 0}},
      {"far off to the left and top", single, -2147483647 - 1, -2147483647 - 1, {0, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(placeWindow(c.left, c.top, 150, 600, c.areas), c.expected) << c.what;
  }
}

TEST(PlaceWindow, NoMonitorsLeavesTheTopAlone) {
  EXPECT_EQ(placeWindow(50, 60, 150, 600, {}), (WindowPlace{0, 60}));
}

}  // namespace
}  // namespace tarnvale
