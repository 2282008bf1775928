#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace tarnvale {

std::uint32_t SteadyClock::tickCount() const {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void SteadyClock::sleep(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace tarnvale
