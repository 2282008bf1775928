#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace tarnvale::test {

// Feeds a generated 16-bit stereo signal into a FIFO in real time from a
// thread of its own. The FIFO's reader takes data only while something
// records, so writes never block: frames the reader has not taken after
// kBacklog are skipped (and counted) to stay in real time. Every write is a
// whole number of frames and at most PIPE_BUF bytes, so it lands whole or not
// at all and the stream never goes out of frame alignment.
class FifoFeed {
 public:
  using Clock = std::chrono::steady_clock;
  // Sample values of one frame.
  using Generator =
      std::function<void(std::uint64_t frame, std::int16_t& left, std::int16_t& right)>;
  // Told (on the feed thread) of every write: its first frame, its frame count
  // and when the write returned.
  using WriteLog =
      std::function<void(std::uint64_t first, std::uint32_t frames, Clock::time_point)>;

  static constexpr auto kBacklog = std::chrono::milliseconds(200);

  FifoFeed(std::string path, std::uint32_t rate, Generator generator,
           std::chrono::milliseconds period = std::chrono::milliseconds(5));
  ~FifoFeed();
  FifoFeed(const FifoFeed&) = delete;
  FifoFeed& operator=(const FifoFeed&) = delete;

  void setWriteLog(WriteLog log) { log_ = std::move(log); }
  // False if the FIFO cannot be opened.
  bool start();
  void stop();

  std::uint64_t framesWritten() const { return written_; }
  std::uint64_t framesSkipped() const { return skipped_; }

 private:
  void run();

  std::string path_;
  std::uint32_t rate_;
  Generator generator_;
  std::chrono::milliseconds period_;
  WriteLog log_;
  int fd_ = -1;
  std::thread thread_;
  std::atomic<bool> running_{false};
  std::atomic<std::uint64_t> written_{0};
  std::atomic<std::uint64_t> skipped_{0};
};

}  // namespace tarnvale::test
