#include "platform/pulse_wave_in.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "tests/support/recording_receiver.h"

namespace tarnvale {
namespace {

// With no server to reach, the layer keeps trying in the background; the list
// is unknown rather than empty, and opening finds the device lost, at once.
TEST(PulseWaveInWithoutServer, ListIsUnknownAndEveryOperationFailsCleanly) {
  ::setenv("PULSE_SERVER", "unix:/nonexistent/tarnvale-test-socket", 1);
  PulseWaveIn wave;
  EXPECT_FALSE(wave.waitForDeviceList(300));
  EXPECT_EQ(wave.deviceCount(), WaveIn::kDevicesUnknown);

  std::string name = "unchanged";
  EXPECT_EQ(wave.deviceName(0, name), kWaveBadDeviceId);
  EXPECT_EQ(name, "unchanged");
  WaveFormat format;
  format.samplesPerSec = 44100;
  format.avgBytesPerSec = 44100 * 4;
  EXPECT_EQ(wave.queryFormat(0, format), kWaveDeviceLost);
  test::RecordingReceiver receiver;
  WaveInHandle handle = kNoWaveIn;
  EXPECT_EQ(wave.open(0, format, receiver, handle), kWaveDeviceLost);
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
