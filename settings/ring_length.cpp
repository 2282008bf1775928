#include "settings/ring_length.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tarnvale {

std::int32_t bufferBytesFor(std::int32_t sampleRate) {
  // 64-bit, so a hand-edited rate cannot overflow; the capture side bounds it.
  const std::int64_t bytes = static_cast<std::int64_t>(sampleRate) * 4 / 1000 * 33;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(bytes, INT32_MIN, INT32_MAX));
}

std::int32_t ringLengthFor(double averageMs, std::int32_t sampleRate, std::int32_t bufferBytes) {
  const std::int32_t frames = bufferBytes / 4;
  // A rate or buffer of zero or less (only from a hand-edited file) spans nothing.
  if (frames <= 0 || sampleRate <= 0) return 0;
  const double buffers =
      (averageMs / 1000.0) / (static_cast<double>(frames) / static_cast<double>(sampleRate));
  if (!(buffers > INT32_MIN && buffers < INT32_MAX)) return buffers > 0 ? INT32_MAX : 0;
  return static_cast<std::int32_t>(std::trunc(buffers));
}

std::int32_t clampRingLength(std::int32_t length) {
  return std::clamp(length, 1, 1000);
}

}  // namespace tarnvale
