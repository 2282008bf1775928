#include "platform/pulse_wave_in.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <string>

#include "tests/support/recording_receiver.h"

namespace tarnvale {
namespace {

using namespace std::chrono_literals;

// With no server to reach, the layer keeps trying in the background and every
// operation fails cleanly instead of waiting for ever.
TEST(PulseWaveInWithoutServer, ReportsNoDeviceAfterTheWaitAndRefusesEverything) {
  ::setenv("PULSE_SERVER", "unix:/nonexistent/tarnvale-test-socket", 1);
  PulseWaveIn wave;
  const auto asked = std::chrono::steady_clock::now();
  EXPECT_EQ(wave.deviceCount(), 0);
  const auto waited = std::chrono::steady_clock::now() - asked;
  EXPECT_GE(waited, 2500ms);
  EXPECT_LT(waited, 10s);

  std::string name = "unchanged";
  EXPECT_EQ(wave.deviceName(0, name), kWaveBadDeviceId);
  EXPECT_EQ(name, "unchanged");
  WaveFormat format;
  format.samplesPerSec = 44100;
  format.avgBytesPerSec = 44100 * 4;
  EXPECT_EQ(wave.queryFormat(0, format), kWaveBadDeviceId);
  test::RecordingReceiver receiver;
  WaveInHandle handle = kNoWaveIn;
  EXPECT_EQ(wave.open(0, format, receiver, handle), kWaveBadDeviceId);
  EXPECT_EQ(handle, kNoWaveIn);
  char block[8];
  WaveHeader header;
  header.data = block;
  header.bufferLength = sizeof block;
  EXPECT_EQ(wave.prepare(1, &header), kWaveInvalidHandle);
  EXPECT_EQ(wave.add(1, &header), kWaveInvalidHandle);
  EXPECT_EQ(wave.start(1), kWaveInvalidHandle);
  EXPECT_EQ(wave.reset(1), kWaveInvalidHandle);
  EXPECT_EQ(wave.close(1), kWaveInvalidHandle);
  EXPECT_EQ(header.flags, 0u);
}

}  // namespace
}  // namespace tarnvale
