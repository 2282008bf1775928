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
#include <functional>
#include <memory>
#include <optional>
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
// The test input's description, "Tarnvale test input, fed by a \u266a pipe", is
// 36 characters: its start and its end are kept.
constexpr char kTestName[] = "Tarnvale test input,\u2026y a \u266a pipe";
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

// The first left sample that is not silence, 0 if there is none. PipeWire's
// pipe source records silence while the pipe runs dry; PulseAudio's nothing.
int firstSoundLeft(const WaveHeader& header) {
  for (std::uint32_t at = 0; at + 4 <= header.bytesRecorded; at += 4) {
    std::int16_t left = 0, right = 0;
    std::memcpy(&left, header.data + at, 2);
    std::memcpy(&right, header.data + at + 2, 2);
    if (left != 0 || right != 0) return left;
  }
  return 0;
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
    ASSERT_TRUE(wave->waitForDeviceList(5000));
    ASSERT_GE(wave->deviceCount(), 2);
  }

  std::unique_ptr<test::FifoFeed> squareFeed() {
    auto feed = std::make_unique<test::FifoFeed>(folder + "/feed", kRate, &square);
    EXPECT_TRUE(feed->start()) << "cannot open " << folder << "/feed";
    return feed;
  }

  // The client runs on this thread's main context: these dispatch it.
  void idle(std::chrono::milliseconds time) {
    wave->runUntil([] { return false; }, time);
  }
  std::optional<test::ReturnedBuffer> take(std::chrono::milliseconds timeout) {
    wave->runUntil([this] { return !receiver.empty(); }, timeout);
    return receiver.take();
  }
  // Dispatches until `done`, at most `timeout`.
  bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 2s) {
    return wave->runUntil(done, timeout);
  }

  int deviceOf(const std::string& source) {
    const int count = wave->deviceCount();
    for (int i = 0; i < count; ++i) {
      if (wave->sourceName(i) == source) return i;
    }
    return -1;
  }

  std::string nameOf(int device) {
    std::string name;
    EXPECT_EQ(wave->deviceName(device, name), kWaveOk) << device;
    return name;
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

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// A null output loaded for one test, and its monitor; unloaded at the end.
struct NullOutput {
  NullOutput(const std::string& name, const std::string& description)
      : module(trimmed(
            test::runProgram({"pactl", "load-module", "module-null-sink", "sink_name=" + name,
                              "sink_properties='device.description=\"" + description + "\"'"}))),
        monitor(name + ".monitor") {}
  ~NullOutput() {
    if (!module.empty()) test::runProgram({"pactl", "unload-module", module});
  }
  std::string module;
  std::string monitor;
};

// Silence played into an output for one test: a null output's monitor records
// nothing while nothing plays, and little while its latency is long.
struct Playing {
  explicit Playing(const std::string& sink) {
    const std::string device = "--device=" + sink;
    char* argv[] = {const_cast<char*>("pacat"),
                    const_cast<char*>("--playback"),
                    const_cast<char*>(device.c_str()),
                    const_cast<char*>("--raw"),
                    const_cast<char*>("--latency-msec=20"),
                    const_cast<char*>("/dev/zero"),
                    nullptr};
    if (::posix_spawnp(&pid, "pacat", nullptr, nullptr, argv, environ) != 0) pid = -1;
  }
  ~Playing() {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
  }
  pid_t pid = -1;
};

TEST_F(PulseWaveInE2e, ListsTheDefaultSourceFirstThenTheDefaultOutputThenTheOthers) {
  EXPECT_EQ(nameOf(0), kTestName);
  EXPECT_EQ(wave->sourceName(0), kTestSource);
  EXPECT_EQ(nameOf(1), PulseWaveIn::kDefaultOutputMonitor);
  EXPECT_EQ(wave->sourceName(1), PulseWaveIn::kDefaultOutputMonitorSource);

  const int monitor = deviceOf(kMonitorSource);
  ASSERT_GT(monitor, 1);
  EXPECT_EQ(nameOf(monitor), kMonitorName);

  std::string name;
  const int count = wave->deviceCount();
  EXPECT_EQ(wave->deviceName(count, name), kWaveBadDeviceId);
  EXPECT_EQ(wave->deviceName(-1, name), kWaveBadDeviceId);
}

TEST_F(PulseWaveInE2e, AnIndexNamesTheDeviceAsCountedWhateverTheDefaultDoesMeanwhile) {
  struct Restore {
    ~Restore() { test::runProgram({"pactl", "set-default-source", kTestSource}); }
  } restore;
  const int device = deviceOf(kTestSource);
  ASSERT_EQ(device, 0);
  const std::string name = nameOf(device);
  test::runProgram({"pactl", "set-default-source", kMonitorSource});
  // The change has reached the client once a new count puts the monitor first.
  PulseWaveIn other;
  ASSERT_TRUE(other.waitForDeviceList(5000));
  ASSERT_TRUE(other.runUntil(
      [&] { return other.deviceCount() > 0 && other.sourceName(0) == kMonitorSource; }, 2s));
  idle(200ms);

  // Still the list as counted before: device 0 is the test input, and opens it.
  EXPECT_EQ(wave->sourceName(device), kTestSource);
  const auto feed = squareFeed();
  Buffers buffers(3, kBufferBytes);
  const WaveInHandle handle = openAndStart(device, buffers);
  EXPECT_EQ(wave->recordedSource(handle), kTestSource);
  auto back = take(1s);
  ASSERT_TRUE(back);
  EXPECT_EQ(std::abs(firstSoundLeft(*back->header)), kLeft);
  ASSERT_EQ(requeue(handle, back->header), kWaveOk);
  stop(handle, buffers);

  // The list as it stands now (a client that asks afresh: PipeWire does not
  // always tell a running one of a new default): the monitor comes first,
  // and every name stays what it was.
  const int count = other.deviceCount();
  ASSERT_GT(count, 2);
  EXPECT_EQ(other.sourceName(0), kMonitorSource);
  for (int i = 0; i < count; ++i) {
    std::string listed;
    ASSERT_EQ(other.deviceName(i, listed), kWaveOk);
    if (other.sourceName(i) == kTestSource) {
      EXPECT_EQ(listed, name);
    } else if (other.sourceName(i) == kMonitorSource) {
      EXPECT_EQ(listed, kMonitorName);
    }
  }
}

TEST_F(PulseWaveInE2e, DescriptionsThatShareTheirFirst31CharactersGetDistinctLastingNames) {
  const NullOutput stereo("tarnvale_stereo", "Built-in Audio Analog Stereo");
  const NullOutput surround("tarnvale_surround", "Built-in Audio Analog Surround 5.1");
  ASSERT_FALSE(stereo.module.empty());
  ASSERT_FALSE(surround.module.empty());
  int first = -1, second = -1;
  ASSERT_TRUE(waitUntil([&] {
    first = deviceOf(stereo.monitor);
    second = deviceOf(surround.monitor);
    return first >= 0 && second >= 0;
  }));
  const std::string firstName = nameOf(first), secondName = nameOf(second);
  EXPECT_NE(firstName, secondName);
  EXPECT_EQ(clipDeviceName(firstName), firstName);
  EXPECT_EQ(clipDeviceName(secondName), secondName);

  // A new client (the next start) gives each the same name.
  PulseWaveIn next;
  ASSERT_TRUE(next.waitForDeviceList(5000));
  const int count = next.deviceCount();
  int found = 0;
  for (int i = 0; i < count; ++i) {
    std::string name;
    ASSERT_EQ(next.deviceName(i, name), kWaveOk);
    if (name == firstName) found += next.sourceName(i) == stereo.monitor ? 1 : 100;
    if (name == secondName) found += next.sourceName(i) == surround.monitor ? 1 : 100;
  }
  EXPECT_EQ(found, 2);
}

TEST_F(PulseWaveInE2e, TheDefaultOutputEntryFollowsTheDefaultOutput) {
  const NullOutput other("tarnvale_other", "Tarnvale other output");
  ASSERT_FALSE(other.module.empty());
  const Playing here("tarnvale_null"), there("tarnvale_other");
  struct Restore {
    ~Restore() { test::runProgram({"pactl", "set-default-sink", "tarnvale_null"}); }
  } restore;
  test::runProgram({"pactl", "set-default-sink", "tarnvale_null"});
  ASSERT_TRUE(waitUntil([&] { return deviceOf(other.monitor) >= 0; }));
  ASSERT_EQ(wave->sourceName(1), PulseWaveIn::kDefaultOutputMonitorSource);
  Buffers buffers(3, kBufferBytes);
  const WaveInHandle handle = openAndStart(1, buffers);
  EXPECT_EQ(wave->recordedSource(handle), kMonitorSource);
  // An idle null output renders in blocks of up to 2 s: the first one ends
  // before the player's shorter latency counts.
  auto back = take(3s);
  ASSERT_TRUE(back) << "nothing from the default output's monitor";
  ASSERT_EQ(requeue(handle, back->header), kWaveOk);

  test::runProgram({"pactl", "set-default-sink", "tarnvale_null"});
  test::runProgram({"pactl", "set-default-sink", "tarnvale_other"});
  EXPECT_TRUE(waitUntil([&] { return wave->recordedSource(handle) == other.monitor; }, 1s));
  // Buffers keep coming on the same handle, and nothing is lost (the first
  // may wait for the other output's first block, as above).
  receiver.takeAll();
  for (int i = 0; i < 5; ++i) {
    back = take(i == 0 ? 3s : 1s);
    ASSERT_TRUE(back) << "buffers stopped after the switch";
    EXPECT_EQ(back->handle, handle);
    ASSERT_EQ(requeue(handle, back->header), kWaveOk);
  }
  stop(handle, buffers);
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
    const auto back =
        take(std::chrono::duration_cast<std::chrono::milliseconds>(started + 1s - Clock::now()));
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
      // Silence is where the pipe ran dry (PipeWire records it); any other
      // value must be what was fed.
      const bool silent = samples[i] == 0 && samples[i + 1] == 0;
      wrongFrames += !silent && (std::abs(int{samples[i]}) != kLeft ||
                                 std::abs(int{samples[i + 1]}) != kRight);
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
  idle(300ms);
  ASSERT_EQ(wave->reset(handle), kWaveOk);
  auto back = receiver.takeAll();
  ASSERT_EQ(back.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(back[i].header, &buffers.headers[i]);
    EXPECT_EQ(back[i].header->flags & kWaveHeaderInQueue, 0u);
    ASSERT_EQ(requeue(handle, back[i].header), kWaveOk);
  }

  ASSERT_EQ(wave->start(handle), kWaveOk);
  idle(200ms);
  std::vector<std::int16_t> fed(2 * 1000);
  for (std::size_t i = 0; i < fed.size(); ++i) fed[i] = static_cast<std::int16_t>(i * 7 - 5000);
  // PipeWire's pipe source reads on its clock, a period (1024 frames) at a
  // time, and records silence while the pipe is dry: a period of silence
  // after what is fed pushes it through. PulseAudio's hands on what is
  // written, and nothing else.
  const bool clocked = test::runProgram({"pactl", "info"}).find("PipeWire") != std::string::npos;
  std::vector<std::int16_t> written = fed;
  if (clocked) written.resize(fed.size() + 2 * 1024, 0);
  const int fifo = ::open((folder + "/feed").c_str(), O_WRONLY | O_NONBLOCK);
  ASSERT_GE(fifo, 0);
  ASSERT_EQ(::write(fifo, written.data(), written.size() * 2),
            static_cast<ssize_t>(written.size() * 2));
  ::close(fifo);
  idle(300ms);

  ASSERT_EQ(wave->reset(handle), kWaveOk);
  back = receiver.takeAll();
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0].header, &buffers.headers[0]);
  EXPECT_EQ(back[1].header, &buffers.headers[1]);
  EXPECT_EQ(back[2].header, &buffers.headers[2]);
  // What was fed, whole and in order, in the first buffer; on PulseAudio
  // nothing else at all.
  const WaveHeader& first = buffers.headers[0];
  const std::size_t fedBytes = fed.size() * 2;
  if (!clocked) {
    EXPECT_EQ(first.bytesRecorded, fedBytes);
  }
  std::size_t at = 0;
  while (at + fedBytes <= first.bytesRecorded &&
         std::memcmp(first.data + at, fed.data(), fedBytes) != 0) {
    at += 4;
  }
  EXPECT_LE(at + fedBytes, first.bytesRecorded) << "what was fed is not in the first buffer";
  EXPECT_EQ(buffers.headers[1].bytesRecorded, 0u);
  EXPECT_EQ(buffers.headers[2].bytesRecorded, 0u);
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
  auto first = take(1s);
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
  // The meter's cycle: every returned buffer is requeued until prepare fails.
  WaveResult prepared = kWaveOk;
  while (prepared == kWaveOk) {
    auto back = take(1s);
    ASSERT_TRUE(back) << "the queued buffers did not come back";
    prepared = requeue(handle, back->header);
  }
  EXPECT_EQ(prepared, kWaveDeviceLost);
  // The stream fails before the server tells of the source's removal.
  EXPECT_TRUE(waitUntil([&] { return deviceOf(kTestSource) < 0; }, 1s))
      << "still listed a second after the unplug";
  feed->stop();

  replug();
  int device = -1;
  ASSERT_TRUE(waitUntil([&] { return (device = deviceOf(kTestSource)) >= 0; }, 1s))
      << "not listed again within a second";
  EXPECT_EQ(nameOf(device), kTestName);

  // Capture goes on on the new source.
  receiver.takeAll();
  feed = squareFeed();
  Buffers fresh(3, kBufferBytes);
  const WaveInHandle again = openAndStart(device, fresh);
  EXPECT_NE(again, handle);
  auto back = take(1s);
  ASSERT_TRUE(back) << "no data from the replugged source";
  EXPECT_EQ(back->handle, again);
  EXPECT_EQ(back->header->bytesRecorded, kBufferBytes);
  EXPECT_EQ(std::abs(firstSoundLeft(*back->header)), kLeft);
  EXPECT_EQ(wave->close(handle), kWaveOk);
  stop(again, fresh);
  EXPECT_TRUE(buffers.guardsIntact());
}

// Last: the server that the later tests see is the restarted one.
TEST_F(PulseWaveInE2e, ServerRestartEndsCaptureAndTheListIsKnownAgainWhenItIsBack) {
  const char* script = std::getenv("TARNVALE_PULSE_SCRIPT");
  ASSERT_NE(script, nullptr) << "no script to start the server again with";
  Buffers buffers(3, kBufferBytes);
  const WaveInHandle handle = openAndStart(0, buffers);
  std::ifstream pidFile(std::string(std::getenv("PULSE_RUNTIME_PATH")) + "/pid");
  pid_t server = 0;
  ASSERT_TRUE(pidFile >> server);
  ASSERT_EQ(::kill(server, SIGTERM), 0);
  ASSERT_TRUE(waitUntil([server] { return ::kill(server, 0) != 0; }, 5s)) << "server did not stop";

  // The capture is over: the queued buffers come back and no new one is taken.
  for (const WaveHeader& header : buffers.headers) {
    auto back = take(1s);
    ASSERT_TRUE(back) << "queued buffers not handed back";
    EXPECT_EQ(back->header, &header);
  }
  EXPECT_NE(requeue(handle, &buffers.headers[0]), kWaveOk);
  EXPECT_EQ(wave->close(handle), kWaveOk);

  // While the server is away its devices are unknown, not gone.
  EXPECT_EQ(wave->deviceCount(), WaveIn::kDevicesUnknown);
  idle(500ms);
  EXPECT_EQ(wave->deviceCount(), WaveIn::kDevicesUnknown);
  EXPECT_FALSE(wave->waitForDeviceList(100));

  // Back: connected again in the background, the devices are there.
  test::runProgram({script, "server"});
  ASSERT_TRUE(wave->waitForDeviceList(10000));
  EXPECT_GE(wave->deviceCount(), 2);
  EXPECT_EQ(wave->sourceName(0), kTestSource);
}

}  // namespace
}  // namespace tarnvale
