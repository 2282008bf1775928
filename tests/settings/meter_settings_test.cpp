#include "settings/meter_settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace tarnvale {
namespace {

TEST(StoredModes, MeanWhatTheFileSaysAndUnknownForAnyOtherNumber) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  const struct {
    std::int32_t stored;
    ChannelMode channel;
    ReadoutMode readout;
  } cases[] = {
      {0, ChannelMode::Stereo, ReadoutMode::None},
      {1, ChannelMode::MonoLeft, ReadoutMode::HeldPeaks},
      {2, ChannelMode::MonoRight, ReadoutMode::Average},
      {3, ChannelMode::MonoMix, ReadoutMode::Unknown},
      {4, ChannelMode::Unknown, ReadoutMode::Unknown},
      {-1, ChannelMode::Unknown, ReadoutMode::Unknown},
      {kMin, ChannelMode::Unknown, ReadoutMode::Unknown},
      {kMax, ChannelMode::Unknown, ReadoutMode::Unknown},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(channelModeOf(c.stored), c.channel) << c.stored;
    EXPECT_EQ(readoutModeOf(c.stored), c.readout) << c.stored;
    // A known mode is stored as the number it was read from.
    if (c.channel != ChannelMode::Unknown) {
      EXPECT_EQ(storedValue(c.channel), c.stored);
    }
    if (c.readout != ReadoutMode::Unknown) {
      EXPECT_EQ(storedValue(c.readout), c.stored);
    }
  }
}

}  // namespace
}  // namespace tarnvale
