// SSE2 kernels: four pixels per 16-byte register. Every x86-64 processor has them.
#include <emmintrin.h>

#include <cstring>

#include "raster/draft_kernels.h"

namespace tarnvale::draft {
namespace {

__m128i load(const void* p) {
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
void store(void* p, __m128i v) {
  _mm_storeu_si128(static_cast<__m128i*>(p), v);
}
__m128i load64(const void* p) {
  return _mm_loadl_epi64(static_cast<const __m128i*>(p));
}

// 2w of each tap in four lanes, for the high multiply below; a last odd tap
// is paired with itself.
void planTaps(const Tap* taps, std::size_t n, int, TapPlan& plan) {
  plan.ints.clear();
  plan.shorts.resize(4 * (n + 1));
  for (std::size_t i = 0; i <= n; ++i)
    for (int c = 0; c < 4; ++c)
      plan.shorts[4 * i + c] = static_cast<std::int16_t>(2 * taps[i < n ? i : n - 1].weight);
}

// b + floor((a - b) × w / 256), as ((a - b) × 128 × 2w) >> 16: exact, since
// (a - b) × 128 fits 16 bits. A weight of 256 (2w = 512) is also exact.
__m128i mix(__m128i a, __m128i b, __m128i w2) {
  return _mm_add_epi16(b, _mm_mulhi_epi16(_mm_slli_epi16(_mm_sub_epi16(a, b), 7), w2));
}

void interpolateRow(const TColor32* row, const Tap* taps, std::size_t first, std::size_t n,
                    const TapPlan& plan, Wide* out) {
  const __m128i zero = _mm_setzero_si128();
  taps += first;
  const std::int16_t* weights = plan.shorts.data() + 4 * first;
  for (std::size_t i = 0; i < n; i += 2) {
    // Pixels (a0, b0, a1, b1) → (a0, a1, b0, b1), widened.
    const std::size_t j = i + 1 < n ? i + 1 : i;
    const __m128i pairs =
        _mm_unpacklo_epi64(load64(row + taps[i].first), load64(row + taps[j].first));
    const __m128i grouped = _mm_shuffle_epi32(pairs, _MM_SHUFFLE(3, 1, 2, 0));
    const __m128i a = _mm_unpacklo_epi8(grouped, zero);
    const __m128i b = _mm_unpackhi_epi8(grouped, zero);
    store(out + 4 * i, mix(a, b, load(weights + 4 * i)));  // a lone last tap fills padding
  }
}

// Stores the first `count` (1..3) pixels of a register.
void storePartial(TColor32* out, __m128i px, std::size_t count) {
  alignas(16) TColor32 lanes[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), px);
  std::memcpy(out, lanes, count * sizeof(TColor32));
}

void blendRows(const Wide* top, const Wide* bottom, const int* weights, TColor32* const* outs,
               int count, std::size_t n) {
  __m128i w2[kMaxBlendRows];
  for (int r = 0; r < count; ++r) w2[r] = _mm_set1_epi16(static_cast<short>(2 * weights[r]));
  // The rows' padding covers the last group of four.
  for (std::size_t i = 0; i < n; i += 4) {
    const __m128i b0 = load(bottom + 4 * i), b1 = load(bottom + 4 * i + 8);
    const __m128i d0 = _mm_slli_epi16(_mm_sub_epi16(load(top + 4 * i), b0), 7);
    const __m128i d1 = _mm_slli_epi16(_mm_sub_epi16(load(top + 4 * i + 8), b1), 7);
    for (int r = 0; r < count; ++r) {
      const __m128i px = _mm_packus_epi16(_mm_add_epi16(b0, _mm_mulhi_epi16(d0, w2[r])),
                                          _mm_add_epi16(b1, _mm_mulhi_epi16(d1, w2[r])));
      if (i + 4 <= n)
        store(outs[r] + i, px);
      else
        storePartial(outs[r] + i, px, n - i);
    }
  }
}

void narrowRow(const Wide* row, std::size_t n, TColor32* out) {
  for (std::size_t i = 0; i < n; i += 4) {
    const __m128i px = _mm_packus_epi16(load(row + 4 * i), load(row + 4 * i + 8));
    if (i + 4 <= n)
      store(out + i, px);
    else
      storePartial(out + i, px, n - i);
  }
}

void sumRows(const TColor32* const* rows, int count, std::size_t n, std::uint16_t* sums) {
  const __m128i zero = _mm_setzero_si128();
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    __m128i lo = zero, hi = zero;
    for (int r = 0; r < count; ++r) {
      const __m128i px = load(rows[r] + i);
      lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(px, zero));
      hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(px, zero));
    }
    store(sums + 4 * i, lo);
    store(sums + 4 * i + 8, hi);
  }
  if (i < n) {
    const TColor32* rest[kMaxWideBlock];
    for (int r = 0; r < count; ++r) rest[r] = rows[r] + i;
    scalarKernels().sumRows(rest, count, n - i, sums + 4 * i);
  }
}

// Two block sums (four lanes each) to two averages; see Reciprocal.
__m128i average(__m128i sums, __m128i hi, __m128i lo) {
  return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(sums, hi), _mm_mulhi_epu16(sums, lo)), 8);
}

__m128i blockSum(const std::uint16_t* sums, const Block& b) {
  __m128i s = load64(sums + 4 * b.first);
  for (int k = b.first + 1; k < b.last; ++k) s = _mm_add_epi16(s, load64(sums + 4 * k));
  return s;
}

void averageBlocks(const std::uint16_t* sums, const Block* blocks, const std::uint16_t* reciprocals,
                   std::size_t n, TColor32* out) {
  std::size_t i = 0;
  for (; i + 2 <= n; i += 2) {
    // Blocks i and i + 1: sums side by side, reciprocal parts likewise.
    const __m128i s = _mm_unpacklo_epi64(blockSum(sums, blocks[i]), blockSum(sums, blocks[i + 1]));
    const __m128i r0 = load(reciprocals + kReciprocalLanes * i);
    const __m128i r1 = load(reciprocals + kReciprocalLanes * (i + 1));
    const __m128i avg = average(s, _mm_unpacklo_epi64(r0, r1), _mm_unpackhi_epi64(r0, r1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(avg, avg));
  }
  if (i < n)
    scalarKernels().averageBlocks(sums, blocks + i, reciprocals + kReciprocalLanes * i, n - i,
                                  out + i);
}

constexpr Kernels kSse2{planTaps, interpolateRow, blendRows, narrowRow,
                        sumRows,  averageBlocks,  nullptr};

}  // namespace

const Kernels& sse2Kernels() {
  return kSse2;
}

}  // namespace tarnvale::draft
