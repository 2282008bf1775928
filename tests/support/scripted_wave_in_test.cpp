#include "tests/support/scripted_wave_in.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "tests/support/recording_receiver.h"

namespace tarnvale::test {
namespace {

WaveFormat stereo16(std::uint32_t rate) {
  WaveFormat format;
  format.samplesPerSec = rate;
  format.avgBytesPerSec = rate * 4;
  return format;
}

// A buffer with guard bytes after its length, to see any write past it.
struct Buffer {
  explicit Buffer(std::uint32_t length) : block(length + 8, char{0x55}) {
    header.data = block.data();
    header.bufferLength = length;
  }
  std::vector<char> block;
  WaveHeader header;
};

class ScriptedWaveInTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wave.devices = {"Line In", "Microphone"};
    ASSERT_EQ(wave.open(0, stereo16(48000), receiver, handle), kWaveOk);
  }

  void queue(Buffer& buffer) {
    ASSERT_EQ(wave.prepare(handle, &buffer.header), kWaveOk);
    ASSERT_EQ(wave.add(handle, &buffer.header), kWaveOk);
  }

  ScriptedWaveIn wave;
  RecordingReceiver receiver;
  WaveInHandle handle = kNoWaveIn;
};

TEST_F(ScriptedWaveInTest, DeliverFillsTheOldestBufferToItsLengthAndNoFurther) {
  Buffer first(10), second(8);
  queue(first);
  queue(second);
  const std::array<std::int16_t, 2> frame{3277, -8230};
  EXPECT_FALSE(wave.deliver(handle, frame)) << "delivered before start";
  ASSERT_EQ(wave.start(handle), kWaveOk);

  ASSERT_TRUE(wave.deliver(handle, frame));
  const auto back = receiver.takeAll();
  ASSERT_EQ(back, (std::vector<ReturnedBuffer>{{handle, &first.header}}));
  EXPECT_EQ(first.header.bytesRecorded, 10u);
  EXPECT_EQ(first.header.flags & (kWaveHeaderDone | kWaveHeaderInQueue), kWaveHeaderDone);
  std::array<std::int16_t, 5> samples{};
  std::memcpy(samples.data(), first.block.data(), 10);
  EXPECT_EQ(samples, (std::array<std::int16_t, 5>{3277, -8230, 3277, -8230, 3277}));
  for (std::size_t i = 10; i < first.block.size(); ++i) EXPECT_EQ(first.block[i], 0x55) << i;

  EXPECT_EQ(wave.queued(handle), 1u);
  ASSERT_TRUE(wave.deliver(handle, frame));
  ASSERT_FALSE(wave.deliver(handle, frame)) << "nothing queued";
  EXPECT_EQ(receiver.takeAll(), (std::vector<ReturnedBuffer>{{handle, &second.header}}));
}

TEST_F(ScriptedWaveInTest, ResetHandsBackTheQueueInOrderAndStopsCapture) {
  Buffer a(8), b(8), c(8);
  queue(a);
  queue(b);
  queue(c);
  ASSERT_EQ(wave.start(handle), kWaveOk);
  ASSERT_EQ(wave.reset(handle), kWaveOk);

  EXPECT_EQ(
      receiver.takeAll(),
      (std::vector<ReturnedBuffer>{{handle, &a.header}, {handle, &b.header}, {handle, &c.header}}));
  EXPECT_EQ(wave.queued(handle), 0u);
  EXPECT_FALSE(wave.started(handle));
  // The call is on record before the buffers arrive, as a posted buffer
  // arrives after the reset returned.
  const auto reset = std::find_if(wave.calls.begin(), wave.calls.end(),
                                  [](const WaveCall& call) { return call.op == WaveOp::Reset; });
  ASSERT_NE(reset, wave.calls.end());
  EXPECT_EQ(reset + 1, wave.calls.end());

  queue(a);
  EXPECT_FALSE(wave.deliver(handle, std::array<std::int16_t, 2>{1, 1}));
  ASSERT_EQ(wave.start(handle), kWaveOk);
  EXPECT_TRUE(wave.deliver(handle, std::array<std::int16_t, 2>{1, 1}));
}

struct FailureCase {
  const char* name;
  bool always;
};

class ScriptedFailures : public ScriptedWaveInTest,
                         public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ScriptedFailures, InjectedResultIsAnsweredOnceOrUntilCleared) {
  if (GetParam().always)
    wave.failAlways(WaveOp::Prepare, kWaveError);
  else
    wave.failOnce(WaveOp::Prepare, kWaveError);
  Buffer buffer(8);
  EXPECT_EQ(wave.prepare(handle, &buffer.header), kWaveError);
  EXPECT_EQ(buffer.header.flags & kWaveHeaderPrepared, 0u) << "a failed prepare changed the header";
  EXPECT_EQ(wave.prepare(handle, &buffer.header), GetParam().always ? kWaveError : kWaveOk);
  wave.clearFailures();
  EXPECT_EQ(wave.prepare(handle, &buffer.header), kWaveOk);
  EXPECT_EQ(wave.calls.back(), (WaveCall{WaveOp::Prepare, handle, 0, &buffer.header, kWaveOk}));
  EXPECT_EQ(wave.countOf(WaveOp::Prepare), 3u);
}

INSTANTIATE_TEST_SUITE_P(Modes, ScriptedFailures,
                         ::testing::Values(FailureCase{"Once", false}, FailureCase{"Always", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScriptedWaveInTest, AFailedOpenGivesNoHandle) {
  wave.failOnce(WaveOp::Open, kWaveBadFormat);
  WaveInHandle other = kNoWaveIn;
  EXPECT_EQ(wave.open(1, stereo16(48000), receiver, other), kWaveBadFormat);
  EXPECT_EQ(other, kNoWaveIn);
  EXPECT_EQ(wave.lastOpened(), handle);
  EXPECT_EQ(wave.open(1, stereo16(48000), receiver, other), kWaveOk);
  EXPECT_EQ(wave.deviceOf(other), 1);
}

TEST_F(ScriptedWaveInTest, ALostDeviceHandsBackItsBuffersAndRefusesNewOnes) {
  WaveInHandle other = kNoWaveIn;
  ASSERT_EQ(wave.open(1, stereo16(48000), receiver, other), kWaveOk);
  Buffer a(8), b(8), fresh(8);
  queue(a);
  queue(b);
  ASSERT_EQ(wave.start(handle), kWaveOk);

  wave.lose(handle);
  EXPECT_EQ(receiver.takeAll(),
            (std::vector<ReturnedBuffer>{{handle, &a.header}, {handle, &b.header}}));
  EXPECT_EQ(wave.unprepare(handle, &a.header), kWaveOk);
  EXPECT_NE(wave.prepare(handle, &fresh.header), kWaveOk);
  EXPECT_NE(wave.start(handle), kWaveOk);
  // Buffers of the lost device are unprepared and requeued on the new one.
  EXPECT_EQ(wave.unprepare(other, &b.header), kWaveOk);
  EXPECT_EQ(wave.prepare(other, &fresh.header), kWaveOk);
  EXPECT_EQ(wave.add(other, &fresh.header), kWaveOk);
}

TEST_F(ScriptedWaveInTest, HeadersAreCheckedLikeTheRealDevice) {
  Buffer buffer(8), empty(0);
  EXPECT_EQ(wave.add(handle, &buffer.header), kWaveUnprepared);
  EXPECT_EQ(wave.prepare(handle, &empty.header), kWaveInvalidParam);
  EXPECT_EQ(wave.prepare(handle + 7, &buffer.header), kWaveInvalidHandle);
  queue(buffer);
  EXPECT_EQ(wave.add(handle, &buffer.header), kWaveStillQueued);
  EXPECT_EQ(wave.unprepare(handle, &buffer.header), kWaveStillQueued);
  EXPECT_EQ(wave.close(handle), kWaveStillQueued);
  ASSERT_EQ(wave.reset(handle), kWaveOk);
  EXPECT_EQ(wave.unprepare(handle, &buffer.header), kWaveOk);
  EXPECT_EQ(wave.close(handle), kWaveOk);
  EXPECT_EQ(wave.start(handle), kWaveInvalidHandle);
}

TEST_F(ScriptedWaveInTest, DeviceListFollowsTheTestsChanges) {
  std::string name;
  wave.devices.insert(wave.devices.begin(), std::string(40, 'x'));
  EXPECT_EQ(wave.deviceCount(), 3);
  ASSERT_EQ(wave.deviceName(0, name), kWaveOk);
  EXPECT_EQ(name, std::string(31, 'x'));
  EXPECT_EQ(wave.deviceName(3, name), kWaveBadDeviceId);
  wave.devices.clear();
  EXPECT_EQ(wave.deviceCount(), 0);
  EXPECT_EQ(wave.queryFormat(0, stereo16(44100)), kWaveBadDeviceId);
}

}  // namespace
}  // namespace tarnvale::test
