#pragma once

#include <cstdint>
#include <vector>

#include "platform/clock.h"

namespace tarnvale::test {

// A clock the test sets by hand; sleeping advances it and is recorded.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(std::uint32_t start = 0) : now_(start) {}
  std::uint32_t tickCount() const override { return now_; }
  void sleep(std::uint32_t ms) override {
    sleeps.push_back(ms);
    now_ += ms;
  }
  void set(std::uint32_t now) { now_ = now; }
  void advance(std::uint32_t ms) { now_ += ms; }

  std::vector<std::uint32_t> sleeps;

 private:
  std::uint32_t now_;
};

}  // namespace tarnvale::test
