#include "tests/support/fifo_feed.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace tarnvale::test {

namespace {
constexpr std::uint32_t kFrameBytes = 4;
constexpr std::uint32_t kMaxWriteFrames = PIPE_BUF / kFrameBytes;
}  // namespace

FifoFeed::FifoFeed(std::string path, std::uint32_t rate, Generator generator,
                   std::chrono::milliseconds period)
    : path_(std::move(path)), rate_(rate), generator_(std::move(generator)), period_(period) {}

FifoFeed::~FifoFeed() {
  stop();
}

bool FifoFeed::start() {
  if (running_) return true;
  // A reader that goes away (the source unloaded) must not end the process.
  ::signal(SIGPIPE, SIG_IGN);
  fd_ = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) return false;
  running_ = true;
  thread_ = std::thread(&FifoFeed::run, this);
  return true;
}

void FifoFeed::stop() {
  running_ = false;
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

// On the feed thread.
void FifoFeed::run() {
  const Clock::time_point begin = Clock::now();
  const std::uint64_t backlogFrames = static_cast<std::uint64_t>(rate_) * kBacklog.count() / 1000;
  std::uint64_t next = 0;  // first frame not written yet
  std::vector<std::int16_t> chunk(kMaxWriteFrames * 2);
  for (Clock::time_point wake = begin; running_; wake += period_) {
    std::this_thread::sleep_until(wake);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - begin).count();
    const std::uint64_t due = static_cast<std::uint64_t>(elapsed) * rate_ / 1000000;
    if (due > next + backlogFrames) {
      skipped_ += due - backlogFrames - next;
      next = due - backlogFrames;
    }
    while (next < due) {
      const auto frames =
          static_cast<std::uint32_t>(std::min<std::uint64_t>(due - next, kMaxWriteFrames));
      for (std::uint32_t i = 0; i < frames; ++i) {
        generator_(next + i, chunk[2 * i], chunk[2 * i + 1]);
      }
      const ssize_t done = ::write(fd_, chunk.data(), frames * kFrameBytes);
      if (done < 0) break;  // full (EAGAIN): the reader is not taking data now
      if (log_) log_(next, frames, Clock::now());
      next += frames;
      written_ += frames;
    }
  }
}

}  // namespace tarnvale::test
