#include <gtest/gtest.h>

#include "settings/ring_length.h"

namespace tarnvale {
namespace {

TEST(BufferBytesFor, ThirtyThreeMillisecondsOfStereo) {
  const struct {
    std::int32_t rate, bytes;
  } cases[] = {{22050, 2904}, {44100, 5808}, {48000, 6336}, {96000, 12672}, {0, 0}};
  for (const auto& c : cases) EXPECT_EQ(bufferBytesFor(c.rate), c.bytes) << c.rate;
}

TEST(RingLengthFor, BuffersSpannedByTheAverageTime) {
  const struct {
    double ms;
    std::int32_t rate, expected;
  } cases[] = {
      {100, 44100, 3},     {300, 44100, 9},     {1000, 44100, 30},     {15000, 44100, 455},
      {15000, 48000, 454}, {15000, 96000, 454}, {15000, 22050, 455},   {300, 48000, 9},
      {50, 44100, 1},      {20, 44100, 0},      {100000, 44100, 3037}, {0, 44100, 0},
      {300, 0, 0},         {300, -44100, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ringLengthFor(c.ms, c.rate, bufferBytesFor(c.rate)), c.expected)
        << c.ms << " ms at " << c.rate;
  }
}

TEST(ClampRingLength, HeldWithinOneToAThousand) {
  const struct {
    std::int32_t in, out;
  } cases[] = {{0, 1}, {-5, 1}, {1, 1}, {9, 9}, {1000, 1000}, {3037, 1000}};
  for (const auto& c : cases) EXPECT_EQ(clampRingLength(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace tarnvale
