// Wave input against a real sound server: the private one that
// scripts/with-pulse.sh starts, with a pipe-fed test input "tarnvale_test" and
// a null output whose monitor is a second input.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/pulse_wave_in.h"
#include "tests/support/fifo_feed.h"
#include "tests/support/recording_receiver.h"
#include "tests/support/run_program.h"

extern char** environ;

namespace tarnvale {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr char kTestSource[] = "tarnvale_test";
// The test input's description, "Tarnvale test input, fed by a ♪ pipe", cut
// after its 31st character, a three-byte one.
constexpr char kTestName[] = "Tarnvale test input, fed by a \u266a";
constexpr char kMonitorSource[] = "tarnvale_null.monitor";
constexpr char kMonitorName[] = "Monitor of Tarnvale null output";
constexpr std::uint32_t kRate = 48000;
constexpr std::uint32_t kBufferBytes = kRate * 4 / 1000 * 33;
constexpr std::int16_t kLeft = 3277;
constexpr std::int16_t kRight = 8230;

WaveFormat stereo16(std::uint32_t rate) {
  WaveFormat format;
  format.samplesPerSec = rate;
  format.avgBytesPerSec = rate * 4;
  return format;
}

// A square wave of 1 kHz: +-kLeft on the left, +-kRight on the right.
void square(std::uint64_t frame, std::int16_t& left, std::int16_t& right) {
  const bool high = frame % 48 < 24;
  left = high ? kLeft : -kLeft;
  right = high ? kRight : -kRight;
}

// Capture buffers of one length; guard bytes after each show writes past it.
struct Buffers {
  Buffers(std::size_t count, std::uint32_t length) : blocks(count), headers(count) {
    for (std::size_t i = 0; i < count; ++i) {
      blocks[i].assign(length + kGuard, kGuardByte);
      headers[i].data = blocks[i].data();
      headers[i].bufferLength = length;
    }
  }
  bool guardsIntact() const {
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      for (std::size_t j = headers[i].bufferLength; j < blocks[i].size(); ++j) {
        if (blocks[i][j] != kGuardByte) return false;
      }
    }
    return true;
  }
  static constexpr std::size_t kGuard = 64;
  static constexpr char kGuardByte = 0x5a;
  std::vector<std::vector<char>> blocks;
  std::vector<WaveHeader> headers;
};

class PulseWaveInE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("TARNVALE_PULSE_DIR");
    if (std::getenv("PULSE_SERVER") == nullptr || dir == nullptr) {
      GTEST_SKIP() << "needs the private sound server: run under scripts/with-pulse.sh";
    }
    folder = dir;
    wave = std::make_unique<PulseWaveIn>();
    ASSERT_GE(wave->deviceCount(), 2);
  }

  std::unique_ptr<test::FifoFeed> squareFeed() {
    auto feed = std::make_unique<test::FifoFeed>(folder + "/feed", kRate, &square);
    EXPECT_TRUE(feed->start()) << "cannot open " << folder << "/feed";
    return feed;
  }

  int deviceOf(const std::string& source) {
    const int count = wave->deviceCount();
    for (int i = 0; i < count; ++i) {
      if (wave->sourceName(i) == source) return i;
    }
    return -1;
  }

  WaveInHandle openAndStart(int device, Buffers& buffers) {
    WaveInHandle handle = kNoWaveIn;
    EXPECT_EQ(wave->open(device, stereo16(kRate), receiver, handle), kWaveOk);
    for (WaveHeader& header : buffers.headers) {
      EXPECT_EQ(wave->prepare(handle, &header), kWaveOk);
      EXPECT_EQ(wave->add(handle, &header), kWaveOk);
    }
    EXPECT_EQ(wave->start(handle), kWaveOk);
    return handle;
  }

  // Queues a returned buffer again, as the meter does; the result of prepare.
  WaveResult requeue(WaveInHandle handle, WaveHeader* header) {
    EXPECT_EQ(wave->unprepare(handle, header), kWaveOk);
    const WaveResult prepared = wave->prepare(handle, header);
    if (prepared == kWaveOk) {
      EXPECT_EQ(wave->add(handle, header), kWaveOk);
    }
    return prepared;
  }

  // Stops capture and closes the handle once every buffer is back.
  void stop(WaveInHandle handle, const Buffers& buffers) {
    EXPECT_EQ(wave->reset(handle), kWaveOk);
    receiver.takeAll();
    EXPECT_EQ(wave->close(handle), kWaveOk);
    EXPECT_TRUE(buffers.guardsIntact()) << "written past a buffer";
  }

  std::string folder;
  test::RecordingReceiver receiver;
  std::unique_ptr<PulseWaveIn> wave;
};

TEST_F(PulseWaveInE2e, ListsTheDefaultSourceFirstAndTheMonitorOfTheOutput) {
  std::string name;
  ASSERT_EQ(wave->deviceName(0, name), kWaveOk);
  EXPECT_EQ(name, kTestName);
  EXPECT_EQ(wave->sourceName(0), kTestSource);

  const int monitor = deviceOf(kMonitorSource);
  ASSERT_GT(monitor, 0);
  ASSERT_EQ(wave->deviceName(monitor, name), kWaveOk);
  EXPECT_EQ(name, kMonitorName);

  const int count = wave->deviceCount();
  EXPECT_EQ(wave->deviceName(count, name), kWaveBadDeviceId);
  EXPECT_EQ(wave->deviceName(-1, name), kWaveBadDeviceId);
}

TEST_F(PulseWaveInE2e, FormatQueryAcceptsStereo16AtAnyRateTheServerTakes) {
  struct Case {
    int device;
    WaveFormat format;
    WaveResult result;
  };
  WaveFormat mono = stereo16(44100);
  mono.channels = 1;
  mono.blockAlign = 2;
  mono.avgBytesPerSec = 88200;
  const int missing = wave->deviceCount();
  for (const Case& c :
       {Case{0, stereo16(48000), kWaveOk}, Case{0, stereo16(22050), kWaveOk},
        Case{1, stereo16(44100), kWaveOk}, Case{1, stereo16(96000), kWaveOk},
        Case{0, stereo16(384000), kWaveOk}, Case{0, stereo16(384001), kWaveBadFormat},
        Case{0, mono, kWaveBadFormat}, Case{missing, stereo16(44100), kWaveBadDeviceId}}) {
    EXPECT_EQ(wave->queryFormat(c.device, c.format), c.result)
        << "device " << c.device << " at " << c.format.samplesPerSec;
  }
}

TEST_F(PulseWaveInE2e, FedSamplesArriveExactlyWithinASecond) {
  const auto feed = squareFeed();
  Buffers buffers(3, kBufferBytes);
  const WaveInHandle handle = openAndStart(0, buffers);
  const Clock::time_point started = Clock::now();

  int maxLeft = 0, maxRight = 0;
  std::size_t wrongFrames = 0, fullBuffers = 0;
  while ((maxLeft != kLeft || maxRight != kRight) && Clock::now() < started + 1s) {
    const auto back = receiver.take(
        std::chrono::duration_cast<std::chrono::milliseconds>(started + 1s - Clock::now()));
    if (!back) break;
    ASSERT_EQ(back->handle, handle);
    WaveHeader* header = back->header;
    EXPECT_EQ(header->bytesRecorded, header->bufferLength);
    fullBuffers += header->bytesRecorded == header->bufferLength;
    std::vector<std::int16_t> samples(header->bytesRecorded / 2);
    std::memcpy(samples.data(), header->data, samples.size() * 2);
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
      maxLeft = std::max(maxLeft, std::abs(int{samples[i]}));
      maxRight = std::max(maxRight, std::abs(int{samples[i + 1]}));
      wrongFrames += std::abs(int{samples[i]}) != kLeft || std::abs(int{samples[i + 1]}) != kRight;
    }
    ASSERT_EQ(requeue(handle, header), kWaveOk);
  }
  EXPECT_EQ(maxLeft, kLeft);
  EXPECT_EQ(maxRight, kRight);
  EXPECT_EQ(wrongFrames, 0u) << "samples changed on the way";
  EXPECT_GT(fullBuffers, 0u);
  stop(handle, buffers);
}

TEST_F(PulseWaveInE2e, ResetHandsBackEveryQueuedBufferWithWhatItHolds) {
  // Large buffers, so that what is fed fills only part of one.
  Buffers buffers(3, kRate * 4);
  const WaveInHandle handle = openAndStart(0, buffers);
  // Whatever earlier feeds left in the pipe arrives now and is cleared here.
  std::this_thread::sleep_for(300ms);
  ASSERT_EQ(wave->reset(handle), kWaveOk);
  auto back = receiver.takeAll();
  ASSERT_EQ(back.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(back[i].header, &buffers.headers[i]);
    EXPECT_EQ(back[i].header->flags & kWaveHeaderInQueue, 0u);
    ASSERT_EQ(requeue(handle, back[i].header), kWaveOk);
  }

  ASSERT_EQ(wave->start(handle), kWaveOk);
  std::this_thread::sleep_for(200ms);
  std::vector<std::int16_t> fed(2 * 1000);
  for (std::size_t i = 0; i < fed.size(); ++i) fed[i] = static_cast<std::int16_t>(i * 7 - 5000);
  const int fifo = ::open((folder + "/feed").c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(fifo, 0);
  ASSERT_EQ(::write(fifo, fed.data(), fed.size() * 2), static_cast<ssize_t>(fed.size() * 2));
  ::close(fifo);
  std::this_thread::sleep_for(300ms);

  ASSERT_EQ(wave->reset(handle), kWaveOk);
  back = receiver.takeAll();
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0].header, &buffers.headers[0]);
  EXPECT_EQ(back[1].header, &buffers.headers[1]);
  EXPECT_EQ(back[2].header, &buffers.headers[2]);
  EXPECT_EQ(buffers.headers[0].bytesRecorded, fed.size() * 2);
  EXPECT_EQ(buffers.headers[1].bytesRecorded, 0u);
  EXPECT_EQ(buffers.headers[2].bytesRecorded, 0u);
  EXPECT_EQ(std::memcmp(buffers.headers[0].data, fed.data(), fed.size() * 2), 0);
  EXPECT_EQ(wave->close(handle), kWaveOk);
  EXPECT_TRUE(buffers.guardsIntact());
}

TEST_F(PulseWaveInE2e, UnpluggedSourceFailsPrepareAndComesBackUnderANewIndex) {
  // The pipe source's module, and the arguments to load it again with.
  std::string module, arguments;
  std::istringstream modules(test::runProgram({"pactl", "list", "modules", "short"}));
  for (std::string line; std::getline(modules, line);) {
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    if (fields.size() >= 3 && fields[1] == "module-pipe-source") {
      module = fields[0];
      arguments = fields[2];
    }
  }
  ASSERT_FALSE(module.empty());

  auto feed = squareFeed();
  Buffers buffers(3, kBufferBytes);
  const WaveInHandle handle = openAndStart(0, buffers);
  auto first = receiver.take(1s);
  ASSERT_TRUE(first) << "no data before the unplug";
  ASSERT_EQ(requeue(handle, first->header), kWaveOk);

  // Plugged in again even when the test stops early, for the tests after it.
  struct Replug {
    std::string arguments;
    bool done = false;
    void operator()() {
      if (!done) test::runProgram({"pactl", "load-module", "module-pipe-source", arguments});
      done = true;
    }
    ~Replug() { (*this)(); }
  } replug{arguments};
  test::runProgram({"pactl", "unload-module", module});
  const Clock::time_point unplugged = Clock::now();
  // The meter's cycle: every returned buffer is requeued until prepare fails.
  WaveResult prepared = kWaveOk;
  while (prepared == kWaveOk) {
    auto back = receiver.take(1s);
    ASSERT_TRUE(back) << "the queued buffers did not come back";
    prepared = requeue(handle, back->header);
  }
  EXPECT_LT(Clock::now() - unplugged, 1s);
  EXPECT_NE(prepared, kWaveBadFormat);
  // The stream fails before the server tells of the source's removal.
  while (deviceOf(kTestSource) >= 0 && Clock::now() < unplugged + 1s) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(deviceOf(kTestSource), -1) << "still listed a second after the unplug";
  feed->stop();

  replug();
  const Clock::time_point replugged = Clock::now();
  int device = -1;
  while (device < 0 && Clock::now() < replugged + 1s) {
    device = deviceOf(kTestSource);
    if (device < 0) std::this_thread::sleep_for(10ms);
  }
  ASSERT_GE(device, 0) << "not listed again within a second";
  std::string name;
  ASSERT_EQ(wave->deviceName(device, name), kWaveOk);
  EXPECT_EQ(name, kTestName);

  // Capture goes on on the new source.
  receiver.takeAll();
  feed = squareFeed();
  Buffers fresh(3, kBufferBytes);
  const WaveInHandle again = openAndStart(device, fresh);
  EXPECT_NE(again, handle);
  auto back = receiver.take(1s);
  ASSERT_TRUE(back) << "no data from the replugged source";
  EXPECT_EQ(back->handle, again);
  EXPECT_EQ(back->header->bytesRecorded, kBufferBytes);
  std::int16_t left = 0;
  std::memcpy(&left, back->header->data, 2);
  EXPECT_EQ(std::abs(int{left}), kLeft);
  EXPECT_EQ(wave->close(handle), kWaveOk);
  stop(again, fresh);
  EXPECT_TRUE(buffers.guardsIntact());
}

// Last: the server that the later tests see is the restarted one.
TEST_F(PulseWaveInE2e, ServerRestartEndsCaptureAndDeviceCountWaitsForTheServer) {
  const char* script = std::getenv("TARNVALE_PULSE_SCRIPT");
  ASSERT_NE(script, nullptr) << "no script to start the server again with";
  Buffers buffers(3, kBufferBytes);
  const WaveInHandle handle = openAndStart(0, buffers);
  std::ifstream pidFile(std::string(std::getenv("PULSE_RUNTIME_PATH")) + "/pid");
  pid_t server = 0;
  ASSERT_TRUE(pidFile >> server);
  ASSERT_EQ(::kill(server, SIGTERM), 0);
  for (int i = 0; i < 500 && ::kill(server, 0) == 0; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_NE(::kill(server, 0), 0) << "server did not stop";

  // The capture is over: the queued buffers come back and no new one is taken.
  for (const WaveHeader& header : buffers.headers) {
    auto back = receiver.take(1s);
    ASSERT_TRUE(back) << "queued buffers not handed back";
    EXPECT_EQ(back->header, &header);
  }
  EXPECT_NE(requeue(handle, &buffers.headers[0]), kWaveOk);
  EXPECT_EQ(wave->close(handle), kWaveOk);

  // Gone for good: after the wait, no device.
  Clock::time_point asked = Clock::now();
  EXPECT_EQ(wave->deviceCount(), 0);
  const auto waited = Clock::now() - asked;
  EXPECT_GE(waited, 2500ms);
  EXPECT_LT(waited, 10s);

  // Back within the wait: the devices are there.
  std::thread restart([script] {
    std::this_thread::sleep_for(500ms);
    test::runProgram({script, "server"});
  });
  const int count = wave->deviceCount();
  restart.join();
  EXPECT_GE(count, 2);
  EXPECT_EQ(wave->sourceName(0), kTestSource);
}

}  // namespace
}  // namespace tarnvale
