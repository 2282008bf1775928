#pragma once

#include <cstdint>

namespace tarnvale {

// Millisecond tick counter and sleep. Tick counts wrap at 2^32; callers compare
// them as unsigned differences only.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::uint32_t tickCount() const = 0;
  virtual void sleep(std::uint32_t ms) = 0;
};

// Milliseconds of the monotonic clock, truncated to 32 bits.
class SteadyClock final : public Clock {
 public:
  std::uint32_t tickCount() const override;
  void sleep(std::uint32_t ms) override;
};

}  // namespace tarnvale
