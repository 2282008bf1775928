#include <gtest/gtest.h>

#include <string>

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
