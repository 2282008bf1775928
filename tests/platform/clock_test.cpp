#include <gtest/gtest.h>

#include "platform/clock.h"

namespace tarnvale {
namespace {

TEST(SteadyClock, SleepAdvancesTheTickCount) {
  SteadyClock clock;
  const std::uint32_t before = clock.tickCount();
  clock.sleep(20);
  // Unsigned difference, as every caller compares ticks.
  const std::uint32_t elapsed = clock.tickCount() - before;
  EXPECT_GE(elapsed, 20u);
  EXPECT_LT(elapsed, 60000u);
}

}  // namespace
}  // namespace tarnvale
