#pragma once

#include <cstdint>

namespace tarnvale {

// Raw extremes and magnitude sums of interleaved 16-bit stereo frames, before
// any DC correction (which only shifts every magnitude by one constant).
struct PeakScan {
  std::int32_t maxLeft = 0;  // largest |L|, or largest mid when the left carries the mid
  std::int32_t maxRight = 0;
  std::int32_t midPeak = 0;   // largest |(L + R) / 2|, truncated toward zero
  std::int32_t sidePeak = 0;  // largest |(L - R) / 2|
  std::int64_t sumLeft = 0;   // sum of the left magnitudes as above
  std::int64_t sumRight = 0;
};

// Scans `frames` frames (none when 0 or less). With midAsLeft the left
// channel is replaced by the mid signal before its magnitude is taken.
PeakScan scanPeaks(const std::int16_t* samples, std::int32_t frames, bool midAsLeft);

}  // namespace tarnvale
