#include <gtest/gtest.h>

#include "platform/process.h"
#include "tests/support/end_process_trap.h"

namespace tarnvale {
namespace {

TEST(EndProcess, TrapUnwindsInsteadOfExiting) {
  test::EndProcessTrap trap;
  bool after = false;
  EXPECT_THROW(
      {
        endProcess();
        after = true;
      },
      test::ProcessEnded);
  EXPECT_FALSE(after);
}

TEST(EndProcess, RealEndExitsWithCodeZero) {
  EXPECT_EXIT(endProcess(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tarnvale
