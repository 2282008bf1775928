#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/wave_in.h"

namespace tarnvale::test {

struct ReturnedBuffer {
  WaveInHandle handle = kNoWaveIn;
  WaveHeader* header = nullptr;
  bool operator==(const ReturnedBuffer&) const = default;
};

// Collects returned buffers from whichever thread the wave input calls on;
// the test takes them in order, waiting where the buffers come from a server.
class RecordingReceiver final : public WaveInReceiver {
 public:
  void bufferDone(WaveInHandle handle, WaveHeader* header) override {
    {
      std::lock_guard lock(mutex_);
      pending_.push_back({handle, header});
    }
    arrived_.notify_all();
  }

  // The oldest buffer not taken yet, waiting at most `timeout` for one.
  std::optional<ReturnedBuffer> take(std::chrono::milliseconds timeout = {}) {
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_for(lock, timeout, [this] { return !pending_.empty(); })) {
      return std::nullopt;
    }
    ReturnedBuffer buffer = pending_.front();
    pending_.pop_front();
    return buffer;
  }

  bool empty() {
    std::lock_guard lock(mutex_);
    return pending_.empty();
  }

  std::vector<ReturnedBuffer> takeAll() {
    std::lock_guard lock(mutex_);
    std::vector<ReturnedBuffer> all(pending_.begin(), pending_.end());
    pending_.clear();
    return all;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<ReturnedBuffer> pending_;
};

}  // namespace tarnvale::test
