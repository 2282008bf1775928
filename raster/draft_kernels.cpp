#include "raster/draft_kernels.h"

#include <algorithm>

namespace tarnvale::draft {
namespace {

TColor32 narrow(const Wide* c) {
  return static_cast<TColor32>(c[0]) | (static_cast<TColor32>(c[1]) << 8) |
         (static_cast<TColor32>(c[2]) << 16) | (static_cast<TColor32>(c[3]) << 24);
}

int channel(TColor32 px, int c) {
  return static_cast<int>((px >> (8 * c)) & 0xFF);
}

void planTaps(const Tap*, std::size_t, int, TapPlan& plan) {
  plan.ints.clear();
  plan.shorts.clear();
}

void interpolateRow(const TColor32* row, const Tap* taps, std::size_t first, std::size_t n,
                    const TapPlan&, Wide* out) {
  taps += first;
  for (std::size_t i = 0; i < n; ++i) {
    const TColor32 a = row[taps[i].first], b = row[taps[i].first + 1];
    const int w = taps[i].weight;
    for (int c = 0; c < 4; ++c)
      out[4 * i + c] = static_cast<Wide>((w * channel(a, c) + (256 - w) * channel(b, c)) >> 8);
  }
}

void blendRows(const Wide* top, const Wide* bottom, const int* weights, TColor32* const* outs,
               int count, std::size_t n) {
  for (int r = 0; r < count; ++r)
    for (std::size_t i = 0; i < n; ++i) {
      Wide c[4];
      for (int k = 0; k < 4; ++k)
        c[k] = static_cast<Wide>(
            (weights[r] * top[4 * i + k] + (256 - weights[r]) * bottom[4 * i + k]) >> 8);
      outs[r][i] = narrow(c);
    }
}

void narrowRow(const Wide* row, std::size_t n, TColor32* out) {
  for (std::size_t i = 0; i < n; ++i) out[i] = narrow(row + 4 * i);
}

void sumRows(const TColor32* const* rows, int count, std::size_t n, std::uint16_t* sums) {
  std::fill(sums, sums + 4 * n, 0);
  for (int r = 0; r < count; ++r)
    for (std::size_t i = 0; i < n; ++i)
      for (int c = 0; c < 4; ++c)
        sums[4 * i + c] = static_cast<std::uint16_t>(sums[4 * i + c] + channel(rows[r][i], c));
}

void averageBlocks(const std::uint16_t* sums, const Block* blocks, const std::uint16_t* reciprocals,
                   std::size_t n, TColor32* out) {
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned hi = reciprocals[kReciprocalLanes * i];
    const unsigned lo = reciprocals[kReciprocalLanes * i + 4];
    TColor32 px = 0;
    for (int c = 0; c < 4; ++c) {
      unsigned s = 0;
      for (int k = blocks[i].first; k < blocks[i].last; ++k) s += sums[4 * k + c];
      px |= static_cast<TColor32>((s * hi + ((s * lo) >> 16)) >> 8) << (8 * c);
    }
    out[i] = px;
  }
}

constexpr Kernels kScalar{planTaps, interpolateRow, blendRows, narrowRow,
                          sumRows,  averageBlocks,  nullptr};

SimdLevel detectBest() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return SimdLevel::avx2;
  if (__builtin_cpu_supports("sse2")) return SimdLevel::sse2;
#endif
  return SimdLevel::scalar;
}

SimdLevel& activeSlot() {
  static SimdLevel level = bestSimdLevel();
  return level;
}

}  // namespace

const Kernels& scalarKernels() {
  return kScalar;
}

SimdLevel bestSimdLevel() {
  static const SimdLevel best = detectBest();
  return best;
}

const Kernels& kernelsFor(SimdLevel level) {
#if defined(__x86_64__) || defined(__i386__)
  if (level == SimdLevel::avx2) return avx2Kernels();
  if (level == SimdLevel::sse2) return sse2Kernels();
#endif
  (void)level;
  return scalarKernels();
}

SimdLevel activeSimdLevel() {
  return activeSlot();
}

void setActiveSimdLevel(SimdLevel level) {
  activeSlot() = std::min(level, bestSimdLevel());
}

}  // namespace tarnvale::draft
