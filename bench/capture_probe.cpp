// Measures the capture path against a real sound server (run it under
// scripts/with-pulse.sh, or through scripts/measure-capture.sh):
//   - the delay from writing a frame into the test input's pipe to its buffer
//     reaching the window's event handler;
//   - continuity: a frame counter is fed, and every frame must arrive once and
//     in order;
//   - the CPU time of this process (the sound server client, the posted events and
//     their handler), while a child process feeds the pipe.
//
// With --monitor it records the null output's monitor instead, a source that
// the server clocks itself (silence, so only the CPU figure means anything).
//
// usage: capture_probe [--seconds N] [--rate HZ] [--feed-ms MS] [--monitor]

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/buffer_done_event.h"
#include "platform/pulse_wave_in.h"
#include "tests/support/fifo_feed.h"
#include "tests/support/run_program.h"

extern char** environ;

namespace tarnvale {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr char kSource[] = "tarnvale_probe";
constexpr char kMonitor[] = "tarnvale_null.monitor";
constexpr std::uint32_t kBlockBytes = 12929;
constexpr int kBufferCount = 3;

struct Options {
  int seconds = 30;
  std::uint32_t rate = 48000;
  int feedMs = 5;
  bool monitor = false;
};

// The feed's writes, shared with the feeding child process.
struct WriteLog {
  struct Entry {
    std::uint64_t first;
    std::uint32_t frames;
    std::int64_t at;  // steady clock, ns; the same clock in both processes
  };
  std::atomic<std::uint64_t> count;
  std::atomic<std::uint64_t> skipped;
  std::size_t capacity;
  // The entries follow the header in the same mapping.
  Entry* entries() { return reinterpret_cast<Entry*>(this + 1); }
};

// Frame k carries k: low 16 bits on the left, high 16 bits on the right.
void counter(std::uint64_t frame, std::int16_t& left, std::int16_t& right) {
  left = static_cast<std::int16_t>(frame & 0xFFFF);
  right = static_cast<std::int16_t>((frame >> 16) & 0xFFFF);
}

std::uint32_t frameAt(const char* data, std::size_t frame) {
  std::uint16_t lr[2];
  std::memcpy(lr, data + frame * 4, 4);
  return static_cast<std::uint32_t>(lr[0]) | (static_cast<std::uint32_t>(lr[1]) << 16);
}

// The child: waits for the go, feeds until the parent closes the pipe.
[[noreturn]] void feed(const std::string& path, const Options& options, WriteLog* log,
                       int control) {
  char go = 0;
  if (::read(control, &go, 1) != 1) _exit(1);
  test::FifoFeed feed(path, options.rate, &counter, std::chrono::milliseconds(options.feedMs));
  feed.setWriteLog([log](std::uint64_t first, std::uint32_t frames, Clock::time_point at) {
    const std::uint64_t i = log->count.load(std::memory_order_relaxed);
    if (i >= log->capacity) return;
    log->entries()[i] = {
        first, frames,
        std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count()};
    log->count.store(i + 1, std::memory_order_release);
  });
  if (!feed.start()) _exit(2);
  while (::read(control, &go, 1) > 0) {
  }
  feed.stop();
  log->skipped = feed.framesSkipped();
  _exit(0);
}

struct Delivered {
  std::uint32_t first;
  std::uint32_t last;
  std::int64_t at;
};

// Stands in for the meter window: handles every returned buffer on the event
// loop and queues it again.
class Window : public QObject {
 public:
  Window(WaveIn& wave) : wave_(wave) {}
  WaveInHandle handle = kNoWaveIn;
  bool measuring = false;
  std::vector<Delivered> delivered;
  std::uint64_t buffers = 0, partial = 0, requeueFailures = 0;

 protected:
  bool event(QEvent* e) override {
    if (e->type() != BufferDoneEvent::eventType()) return QObject::event(e);
    const std::int64_t now =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
            .count();
    WaveHeader* header = static_cast<BufferDoneEvent*>(e)->header();
    const std::size_t frames = header->bytesRecorded / 4;
    if (measuring && frames > 0) {
      ++buffers;
      partial += header->bytesRecorded != header->bufferLength;
      delivered.push_back({frameAt(header->data, 0), frameAt(header->data, frames - 1), now});
      // Within a buffer, every frame follows the one before.
      for (std::size_t i = 1; i < frames; ++i) {
        if (frameAt(header->data, i) != frameAt(header->data, i - 1) + 1) {
          delivered.back().last = ~0u;  // marks the break
          break;
        }
      }
    }
    if (wave_.unprepare(handle, header) != kWaveOk || wave_.prepare(handle, header) != kWaveOk ||
        wave_.add(handle, header) != kWaveOk) {
      ++requeueFailures;
    }
    return true;
  }

 private:
  WaveIn& wave_;
};

double cpuSecondsFromProcStat() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // Fields after the command name, which is in parentheses and may hold blanks.
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// CPU seconds of each thread of this process, by name.
std::vector<std::pair<std::string, double>> threadCpu() {
  std::vector<std::pair<std::string, double>> threads;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream stat(task.path() / "stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t open = text.find('('), close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
      if (i == 14 || i == 15) ticks += std::stoull(field);
    }
    threads.emplace_back(text.substr(open + 1, close - open - 1),
                         static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK)));
  }
  return threads;
}

double cpuSecondsPrecise() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

struct Stats {
  double median, p99, worst;
};

Stats stats(std::vector<double> values) {
  if (values.empty()) return {0, 0, 0};
  std::sort(values.begin(), values.end());
  return {values[values.size() / 2], values[values.size() * 99 / 100], values.back()};
}

int probe(int argc, char** argv, const Options& options) {
  const char* dir = std::getenv("TARNVALE_PULSE_DIR");
  if (dir == nullptr || std::getenv("PULSE_SERVER") == nullptr) {
    std::fprintf(stderr, "run under scripts/with-pulse.sh\n");
    return 2;
  }
  const std::string fifo = std::string(dir) + "/probe-feed";

  // The child is forked before any thread exists; its CPU time is not ours.
  const std::size_t capacity =
      static_cast<std::size_t>(options.seconds + 5) * 1000 / options.feedMs + 1000;
  const std::size_t logBytes = sizeof(WriteLog) + capacity * sizeof(WriteLog::Entry);
  auto* log = static_cast<WriteLog*>(
      mmap(nullptr, logBytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  if (log == MAP_FAILED) return 1;
  new (log) WriteLog{};
  log->capacity = capacity;
  int control[2];
  if (pipe(control) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) {
    ::close(control[1]);
    feed(fifo, options, log, control[0]);
  }
  ::close(control[0]);

  // A test input of our own at the rate measured, so no resampling blurs the
  // counter.
  const std::string source = options.monitor ? kMonitor : kSource;
  const std::string module =
      options.monitor
          ? std::string()
          : test::runProgram({"pactl", "load-module", "module-pipe-source",
                              "source_name=" + std::string(kSource), "file=" + fifo, "format=s16le",
                              "channels=2", "rate=" + std::to_string(options.rate)});
  int result = 1;
  {
    QCoreApplication app(argc, argv);
    PulseWaveIn wave;
    int device = -1;
    wave.runUntil(
        [&] {
          const int count = wave.deviceCount();
          for (int i = 0; i < count; ++i) {
            if (wave.sourceName(i) == source) device = i;
          }
          return device >= 0;
        },
        2s);
    if (device < 0) {
      std::fprintf(stderr, "probe source not listed\n");
    } else {
      Window window(wave);
      BufferDonePoster poster(&window);
      WaveFormat format;
      format.samplesPerSec = options.rate;
      format.avgBytesPerSec = options.rate * 4;
      const std::uint32_t bufferBytes = options.rate * 4 / 1000 * 33;
      std::vector<std::vector<char>> blocks(kBufferCount, std::vector<char>(kBlockBytes));
      std::vector<WaveHeader> headers(kBufferCount);
      bool ok = wave.open(device, format, poster, window.handle) == kWaveOk;
      for (int i = 0; ok && i < kBufferCount; ++i) {
        headers[i].data = blocks[i].data();
        headers[i].bufferLength = bufferBytes;
        ok = wave.prepare(window.handle, &headers[i]) == kWaveOk &&
             wave.add(window.handle, &headers[i]) == kWaveOk;
      }
      ok = ok && wave.start(window.handle) == kWaveOk;
      if (!ok) {
        std::fprintf(stderr, "cannot start capture\n");
      } else {
        double procStart = 0, preciseStart = 0;
        // Whatever an earlier run left in the pipe drains first.
        QTimer::singleShot(300, &window, [&] {
          window.measuring = true;
          procStart = cpuSecondsFromProcStat();
          preciseStart = cpuSecondsPrecise();
          const char go = 1;
          if (::write(control[1], &go, 1) != 1) app.exit(1);
        });
        std::uint64_t dropped = 0;
        QTimer::singleShot(300 + options.seconds * 1000, &app, [&] {
          dropped = wave.droppedBytes(window.handle);
          app.quit();
        });
        app.exec();
        const double procCpu = cpuSecondsFromProcStat() - procStart;
        const double preciseCpu = cpuSecondsPrecise() - preciseStart;
        const auto perThread = threadCpu();
        ::close(control[1]);
        waitpid(child, nullptr, 0);
        wave.reset(window.handle);

        // Delays: from the write of a buffer's first frame (the longest any of
        // its samples waits) and of its last frame (the hand-over alone).
        std::vector<WriteLog::Entry> writes(log->entries(), log->entries() + log->count.load());
        const auto writtenAt = [&writes](std::uint64_t frame) -> std::int64_t {
          auto it = std::upper_bound(
              writes.begin(), writes.end(), frame,
              [](std::uint64_t f, const WriteLog::Entry& e) { return f < e.first; });
          if (it == writes.begin()) return -1;
          --it;
          return frame < it->first + it->frames ? it->at : -1;
        };
        std::vector<double> firstDelays, lastDelays;
        std::uint64_t breaks = 0, expected = 0;
        for (const Delivered& d : window.delivered) {
          if (d.last == ~0u || d.first != expected) ++breaks;
          expected = static_cast<std::uint64_t>(d.last) + 1;
          const std::int64_t first = writtenAt(d.first), last = writtenAt(d.last);
          if (first >= 0) firstDelays.push_back(static_cast<double>(d.at - first) / 1e6);
          if (last >= 0) lastDelays.push_back(static_cast<double>(d.at - last) / 1e6);
        }
        const std::uint64_t written =
            writes.empty() ? 0 : writes.back().first + writes.back().frames;
        const Stats a = stats(firstDelays), b = stats(lastDelays);
        std::printf(
            "rate %u Hz, %d s, buffers of %u bytes, server fragment %u bytes, feed every %d ms\n",
            options.rate, options.seconds, bufferBytes, wave.fragmentBytes(window.handle),
            options.feedMs);
        std::printf("bytes recorded with no buffer queued %llu\n",
                    static_cast<unsigned long long>(dropped));
        std::printf("buffers handled %llu (partial %llu), requeue failures %llu\n",
                    static_cast<unsigned long long>(window.buffers),
                    static_cast<unsigned long long>(window.partial),
                    static_cast<unsigned long long>(window.requeueFailures));
        if (!options.monitor) {
          std::printf(
              "frames fed %llu, skipped by the feed %llu, received up to frame %llu, breaks %llu\n",
              static_cast<unsigned long long>(written),
              static_cast<unsigned long long>(log->skipped.load()),
              static_cast<unsigned long long>(expected), static_cast<unsigned long long>(breaks));
          std::printf(
              "delay, first frame of a buffer: median %.1f ms, 99%% %.1f ms, worst %.1f ms\n",
              a.median, a.p99, a.worst);
          std::printf(
              "delay, last frame of a buffer:  median %.1f ms, 99%% %.1f ms, worst %.1f ms\n",
              b.median, b.p99, b.worst);
        }
        std::printf(
            "cpu: %.3f s (/proc/self/stat), %.3f s (precise) in %d s = %.3f %% of one core\n",
            procCpu, preciseCpu, options.seconds, 100.0 * preciseCpu / options.seconds);
        for (const auto& [name, seconds] : perThread) {
          std::printf("  thread %-16s %.2f s since it started\n", name.c_str(), seconds);
        }
        result =
            (options.monitor || breaks == 0) && dropped == 0 && window.requeueFailures == 0 ? 0 : 1;
      }
      wave.close(window.handle);
    }
  }
  if (!module.empty())
    test::runProgram({"pactl", "unload-module", module.substr(0, module.find('\n'))});
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  munmap(log, logBytes);
  return result;
}

}  // namespace
}  // namespace tarnvale

int main(int argc, char** argv) {
  tarnvale::Options options;
  for (int i = 1; i < argc; i += 2) {
    const std::string name = argv[i];
    if (name == "--monitor") {
      options.monitor = true;
      --i;
      continue;
    }
    const int value = i + 1 < argc ? std::atoi(argv[i + 1]) : 0;
    if (name == "--seconds")
      options.seconds = value;
    else if (name == "--rate")
      options.rate = static_cast<std::uint32_t>(value);
    else if (name == "--feed-ms")
      options.feedMs = value;
    else {
      std::fprintf(stderr, "usage: %s [--seconds N] [--rate HZ] [--feed-ms MS] [--monitor]\n",
                   argv[0]);
      return 2;
    }
  }
  if (options.seconds <= 0 || options.rate == 0 || options.rate * 4 / 1000 * 33 > 12929 ||
      options.feedMs <= 0) {
    std::fprintf(stderr, "bad option\n");
    return 2;
  }
  return tarnvale::probe(argc, argv, options);
}
