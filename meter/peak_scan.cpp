#include "meter/peak_scan.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

// The frame loop runs for every buffer on the UI thread; it is written to be
// vectorised (no branches, 32-bit lanes) and cloned for AVX2 where available.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define TARNVALE_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TARNVALE_VECTOR_CLONES
#endif

namespace tarnvale {

namespace {

// 32768 x 65536 = 2^31: a chunk of this many frames cannot overflow the 32-bit
// lane sums, which are widened to 64 bits between chunks.
constexpr std::size_t kChunkFrames = 65536;

struct ChunkResult {
  std::uint32_t maxLeft, maxRight, maxSum, maxDiff, sumLeft, sumRight;
};

inline std::uint32_t magnitude(std::int32_t v) {
  return static_cast<std::uint32_t>(v < 0 ? -v : v);
}

template <bool MidAsLeft>
TARNVALE_VECTOR_CLONES ChunkResult scanChunk(const std::int16_t* samples, std::size_t frames) {
  std::uint32_t maxLeft = 0, maxRight = 0, maxSum = 0, maxDiff = 0, sumLeft = 0, sumRight = 0;
  for (std::size_t i = 0; i < frames; ++i) {
    // One frame as one 32-bit word (little-endian: left in the low half); the
    // shifts split it without the shuffles that strided loads cost.
    std::uint32_t word;
    std::memcpy(&word, samples + 2 * i, sizeof word);
    const auto l = static_cast<std::int32_t>(word << 16) >> 16;
    const auto r = static_cast<std::int32_t>(word) >> 16;
    // |trunc(x / 2)| == |x| >> 1, so mid and side are halved once, after the loop.
    const std::uint32_t sum = magnitude(l + r);
    const std::uint32_t diff = magnitude(l - r);
    const std::uint32_t left = MidAsLeft ? sum >> 1 : magnitude(l);
    const std::uint32_t right = magnitude(r);
    maxLeft = std::max(maxLeft, left);
    maxRight = std::max(maxRight, right);
    maxSum = std::max(maxSum, sum);
    maxDiff = std::max(maxDiff, diff);
    sumLeft += left;
    sumRight += right;
  }
  return {maxLeft, maxRight, maxSum, maxDiff, sumLeft, sumRight};
}

}  // namespace

PeakScan scanPeaks(const std::int16_t* samples, std::int32_t frames, bool midAsLeft) {
  PeakScan scan;
  std::uint32_t maxSum = 0, maxDiff = 0;
  std::size_t remaining = frames > 0 ? static_cast<std::size_t>(frames) : 0;
  while (remaining > 0) {
    const std::size_t n = std::min(remaining, kChunkFrames);
    const ChunkResult c = midAsLeft ? scanChunk<true>(samples, n) : scanChunk<false>(samples, n);
    scan.maxLeft = std::max(scan.maxLeft, static_cast<std::int32_t>(c.maxLeft));
    scan.maxRight = std::max(scan.maxRight, static_cast<std::int32_t>(c.maxRight));
    maxSum = std::max(maxSum, c.maxSum);
    maxDiff = std::max(maxDiff, c.maxDiff);
    scan.sumLeft += c.sumLeft;
    scan.sumRight += c.sumRight;
    samples += 2 * n;
    remaining -= n;
  }
  scan.midPeak = static_cast<std::int32_t>(maxSum >> 1);
  scan.sidePeak = static_cast<std::int32_t>(maxDiff >> 1);
  return scan;
}

}  // namespace tarnvale
