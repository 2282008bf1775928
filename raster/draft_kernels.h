#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "raster/color.h"

// The per-pixel work of the draft resampler, in interchangeable sets (plain
// C++, SSE2, AVX2) that give identical results. Internal to the resampler;
// tests switch between the sets to hold each against the reference.
namespace tarnvale::draft {

// Growing: destination position takes source pixels first and first + 1,
// the first weighted `weight` (0..256), the second 256 - weight.
struct Tap {
  int first;
  int weight;
};

// Shrinking: destination position takes source positions [first, last).
struct Block {
  int first;
  int last;
};

// Interpolated rows hold each channel in 16 bits, four per pixel (blue,
// green, red, alpha), so the vertical step needs no unpacking. The order of
// the pixels within such a row is private to a kernel set.
using Wide = std::int16_t;

// Whatever a kernel set precomputes for the taps of one call.
struct TapPlan {
  std::vector<std::int32_t> ints;
  std::vector<std::int16_t> shorts;
  mutable std::vector<Wide> scratch;
};

// floor(2^24 / n), the truncated 8.24 reciprocal of a block's pixel count, in
// two parts: hi = r >> 16 (0..256), lo = r & 0xFFFF. For a block sum S of at
// most 16 bits, floor(S × r / 2^24) = (S × hi + ((S × lo) >> 16)) >> 8, and
// every partial result fits 16 bits because the average is at most 255.
struct Reciprocal {
  std::uint16_t hi;
  std::uint16_t lo;
};
inline constexpr int kMaxWideBlock = 257;  // 255 × 257 < 2^16

inline constexpr std::array<Reciprocal, kMaxWideBlock + 1> kReciprocals = [] {
  std::array<Reciprocal, kMaxWideBlock + 1> table{};
  for (unsigned n = 1; n <= kMaxWideBlock; ++n) {
    const std::uint32_t r = (1u << 24) / n;
    table[n] = {static_cast<std::uint16_t>(r >> 16), static_cast<std::uint16_t>(r & 0xFFFF)};
  }
  return table;
}();

// 1 <= count <= kMaxWideBlock
inline Reciprocal reciprocalOf(int count) {
  return kReciprocals[static_cast<std::size_t>(count)];
}

inline constexpr int kReciprocalLanes = 8;  // per block in averageBlocks
inline constexpr int kMaxBlendRows = 8;     // destination rows per blendRows call
inline constexpr int kRowPadding = 8;       // interpolated rows: pixels rounded up to this

inline std::size_t paddedPixels(std::size_t n) {
  return (n + kRowPadding - 1) / kRowPadding * kRowPadding;
}

struct Kernels {
  // Growing across a row: out = (w × a + (256 - w) × b) >> 8 per channel.
  // Taps never reach past srcWidth - 1 with first + 1. Interpolated rows
  // have room for n rounded up to kRowPadding pixels, which interpolateRow may
  // fill and the others may read; destination rows get exactly n pixels.
  // The other growing kernels take rows as interpolateRow lays them out; a
  // row whose pixels are all the same may be given in any order.
  // interpolateRow computes taps [first, first + n) of those planned, first
  // a multiple of kRowPadding, so that one plan serves any part of a row.
  void (*planTaps)(const Tap* taps, std::size_t n, int srcWidth, TapPlan& plan);
  void (*interpolateRow)(const TColor32* row, const Tap* taps, std::size_t first, std::size_t n,
                         const TapPlan& plan, Wide* out);
  // For each of `count` destination rows between the same two source rows:
  // (w × top + (256 - w) × bottom) >> 8 per channel with that row's weight
  // (1..255), narrowed to pixels. Computed as bottom + floor((top - bottom) ×
  // w / 256), the difference once for all the rows.
  void (*blendRows)(const Wide* top, const Wide* bottom, const int* weights, TColor32* const* outs,
                    int count, std::size_t n);
  void (*narrowRow)(const Wide* row, std::size_t n, TColor32* out);
  // Shrinking: channel sums of `count` rows over n pixels, then the average
  // of each block of those columns. Per block, `reciprocals` holds the two
  // parts of its count's reciprocal (hi four times, then lo four times).
  void (*sumRows)(const TColor32* const* rows, int count, std::size_t n, std::uint16_t* sums);
  void (*averageBlocks)(const std::uint16_t* sums, const Block* blocks,
                        const std::uint16_t* reciprocals, std::size_t n, TColor32* out);
  // Optional (may be null): both steps at once for blocks two pixels wide,
  // n destination pixels from 2n source pixels of each row.
  void (*averagePairRows)(const TColor32* const* rows, int count, std::size_t n, TColor32* out);
};

enum class SimdLevel { scalar, sse2, avx2 };

// The best set this processor runs.
SimdLevel bestSimdLevel();
const Kernels& kernelsFor(SimdLevel level);
// The set draft resampling uses: the best, unless lowered (held to the best).
SimdLevel activeSimdLevel();
void setActiveSimdLevel(SimdLevel level);

// Per-set definitions, in their own translation units.
const Kernels& scalarKernels();
#if defined(__x86_64__) || defined(__i386__)
const Kernels& sse2Kernels();
const Kernels& avx2Kernels();  // only where the processor has AVX2
#endif

}  // namespace tarnvale::draft
