#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/wave_in.h"

namespace tarnvale {
namespace {

struct NameCase {
  std::string name;
  std::string clipped;
};

class ClipDeviceName : public ::testing::TestWithParam<NameCase> {};

TEST_P(ClipDeviceName, KeepsAtMost31CodePoints) {
  EXPECT_EQ(clipDeviceName(GetParam().name), GetParam().clipped);
}

const std::string k30 = "Line In (High Definition Audio";  // 30 characters

INSTANTIATE_TEST_SUITE_P(
    Names, ClipDeviceName,
    ::testing::Values(NameCase{"", ""}, NameCase{"Microphone", "Microphone"},
                      NameCase{k30 + ")", k30 + ")"}, NameCase{k30 + ") Device", k30 + ")"},
                      // The 31st character takes two, three or four bytes: kept whole.
                      NameCase{k30 + "\u00e9 card", k30 + "\u00e9"},
                      NameCase{k30 + "\u266a pipe", k30 + "\u266a"},
                      NameCase{k30 + "\U0001F3B5 x", k30 + "\U0001F3B5"},
                      // Cut before a multi-byte character that would be the 32nd.
                      NameCase{k30 + "x\u00e9", k30 + "x"},
                      // 31 two-byte characters are 62 bytes and stay whole.
                      NameCase{[] {
                                 std::string s;
                                 for (int i = 0; i < 40; ++i) s += "\u00fc";
                                 return s;
                               }(),
                               [] {
                                 std::string s;
                                 for (int i = 0; i < 31; ++i) s += "\u00fc";
                                 return s;
                               }()}));

TEST(ListedDeviceNames, FitsLongNamesAndTellsEqualOnesApartWhateverTheOrder) {
  const struct {
    std::vector<DeviceLabel> devices;
    std::vector<std::string> names;
  } cases[] = {
      // Short names stay as they are.
      {{{"Line In", "a"}, {"Mic", "b"}}, {"Line In", "Mic"}},
      // Two outputs' monitors that share their first 31 characters: start and end kept.
      {{{"Monitor of Built-in Audio Analog Stereo", "x.monitor"},
        {"Monitor of Built-in Audio Analog Surround 5.1", "y.monitor"}},
       {"Monitor of Built-in \u2026log Stereo", "Monitor of Built-in \u2026rround 5.1"}},
      // Equal descriptions: numbered in the order of the server's names...
      {{{"USB Audio", "usb-2"}, {"USB Audio", "usb-1"}, {"Mic", "m"}},
       {"USB Audio #2", "USB Audio", "Mic"}},
      // ...whichever comes first in the list.
      {{{"USB Audio", "usb-1"}, {"Mic", "m"}, {"USB Audio", "usb-2"}},
       {"USB Audio", "Mic", "USB Audio #2"}},
      // A suffix never makes a name another device already has.
      {{{"USB Audio", "usb-1"}, {"USB Audio", "usb-2"}, {"USB Audio #2", "z"}},
       {"USB Audio", "USB Audio #3", "USB Audio #2"}},
      // Long and equal: the suffix fits within the 31 characters too.
      {{{"Monitor of Built-in Audio Analog Stereo", "b"},
        {"Monitor of Built-in Audio Analog Stereo", "a"}},
       {"Monitor of Built-i\u2026og Stereo #2", "Monitor of Built-in \u2026log Stereo"}},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> names = listedDeviceNames(c.devices);
    EXPECT_EQ(names, c.names);
    for (const std::string& name : names) EXPECT_EQ(clipDeviceName(name), name);
  }
}

struct FormatCase {
  WaveFormat format;
  bool accepted;
};

class Stereo16Pcm : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Stereo16Pcm, AcceptsOnlyTheCaptureFormat) {
  EXPECT_EQ(isStereo16Pcm(GetParam().format), GetParam().accepted);
}

WaveFormat at(std::uint32_t rate) {
  WaveFormat format;
  format.samplesPerSec = rate;
  format.avgBytesPerSec = rate * 4;
  return format;
}

template <typename Change>
WaveFormat changed(Change change) {
  WaveFormat format = at(44100);
  change(format);
  return format;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Stereo16Pcm,
    ::testing::Values(FormatCase{at(22050), true}, FormatCase{at(44100), true},
                      FormatCase{at(96000), true}, FormatCase{at(0), false},
                      FormatCase{changed([](WaveFormat& f) { f.formatTag = 3; }), false},
                      FormatCase{changed([](WaveFormat& f) { f.channels = 1; }), false},
                      FormatCase{changed([](WaveFormat& f) { f.bitsPerSample = 24; }), false},
                      FormatCase{changed([](WaveFormat& f) { f.blockAlign = 2; }), false},
                      FormatCase{changed([](WaveFormat& f) { f.avgBytesPerSec = 44100; }), false},
                      FormatCase{changed([](WaveFormat& f) { f.extraSize = 22; }), false}));

}  // namespace
}  // namespace tarnvale
