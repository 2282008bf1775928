#pragma once

#include <cstdint>

namespace tarnvale {

// Bytes in one capture buffer: about 33 ms of 16-bit stereo at the rate.
std::int32_t bufferBytesFor(std::int32_t sampleRate);

// Capture buffers spanned by an average time, truncated, not yet limited.
std::int32_t ringLengthFor(double averageMs, std::int32_t sampleRate, std::int32_t bufferBytes);

// What every caller stores in avgRingLength: the ring length held in 1..1000.
std::int32_t clampRingLength(std::int32_t length);

}  // namespace tarnvale
