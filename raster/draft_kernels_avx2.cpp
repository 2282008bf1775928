// AVX2 kernels: eight pixels per 32-byte register. Compiled per function for
// AVX2 and called only when the processor has it (bestSimdLevel).
#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "raster/draft_kernels.h"

#define TARNVALE_AVX2 __attribute__((target("avx2")))

namespace tarnvale::draft {
namespace {

TARNVALE_AVX2 __m256i load(const void* p) {
  return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}
TARNVALE_AVX2 void store(void* p, __m256i v) {
  _mm256_storeu_si256(static_cast<__m256i*>(p), v);
}

// Interpolated rows keep each block of eight pixels in the order (0, 1, 4,
// 5, 2, 3, 6, 7): two registers of four such pixels then pack into eight
// bytes-per-channel pixels in order, with no lane-crossing permute. The last
// block runs into the row's padding.
constexpr int kBlockOrder[8] = {0, 1, 4, 5, 2, 3, 6, 7};  // its own inverse

// Each register of four taps (a block's taps 0, 1, 4, 5 or 2, 3, 6, 7) comes
// from one window of eight source pixels: a permute gathers (a0, a1, b0, b1 |
// a2, a3, b2, b3), where a is a tap's first pixel and b its second. Unpacking
// widens the b's; a byte shuffle pairs each channel of a with that of b, and
// one multiply-add by (64, -64) gives (a - b) × 64 for all of them. Growing
// across, the taps always fit; when they do not (a row that shrinks while the
// picture grows), the plan is empty and the SSE2 kernel computes the row,
// which is then put in block order.
//
// The plan holds one record per block, read front to back by one pointer:
// both windows' first pixels, their permute indices, and 4w of each tap in
// four lanes.
constexpr std::size_t kStart = 0;     // two ints
constexpr std::size_t kIndex = 8;     // 2 × 8 ints
constexpr std::size_t kWeights = 24;  // 2 × 16 shorts
constexpr std::size_t kBlockInts = 40;

void planTaps(const Tap* taps, std::size_t n, int srcWidth, TapPlan& plan) {
  const std::size_t blocks = paddedPixels(n) / 8;
  plan.ints.assign(blocks * kBlockInts, 0);
  plan.shorts.clear();
  bool fits = srcWidth >= 8;
  for (std::size_t g = 0; g < 2 * blocks && fits; ++g) {
    // Padding taps repeat the last one.
    const Tap* t[4];
    for (int k = 0; k < 4; ++k)
      t[k] = taps + std::min<std::size_t>(8 * (g / 2) + kBlockOrder[4 * (g % 2) + k], n - 1);
    std::int32_t* block = plan.ints.data() + g / 2 * kBlockInts;
    const std::size_t half = g % 2;
    std::int32_t& start = block[kStart + half];
    std::int32_t* index = block + kIndex + 8 * half;
    std::int16_t weights[16];
    start = std::min(t[0]->first, srcWidth - 8);
    constexpr int kSlotA[4] = {0, 1, 4, 5}, kSlotB[4] = {2, 3, 6, 7};
    for (int k = 0; k < 4; ++k) {
      const int at = t[k]->first - start;
      if (at < 0 || at + 1 > 7) fits = false;
      index[kSlotA[k]] = at;
      index[kSlotB[k]] = at + 1;
      for (int c = 0; c < 4; ++c) weights[4 * k + c] = static_cast<std::int16_t>(4 * t[k]->weight);
    }
    std::memcpy(block + kWeights + 8 * half, weights, sizeof weights);
  }
  if (!fits) {
    plan.ints.clear();
    sse2Kernels().planTaps(taps, n, srcWidth, plan);
  }
}

// Pixel i of a row in natural order moved to its place in block order.
void toBlockOrder(const Wide* natural, std::size_t n, Wide* out) {
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t at = i / 8 * 8 + static_cast<std::size_t>(kBlockOrder[i % 8]);
    std::memcpy(out + 4 * at, natural + 4 * i, 4 * sizeof(Wide));
  }
}

// Four taps gathered as (a0, a1, b0, b1 | a2, a3, b2, b3) to
// b + floor((a - b) × w / 256) per channel, with w4 = 4w in each tap's lanes:
// the high multiply of (a - b) × 64 by 4w is exactly that floor.
TARNVALE_AVX2 __m256i interpolate(__m256i gathered, __m256i w4) {
  const __m256i pairs = _mm256_setr_epi8(0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15,  //
                                         0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15);
  const __m256i differ = _mm256_set1_epi16(static_cast<short>(0xC040));  // bytes 64, -64
  const __m256i a64 =
      _mm256_maddubs_epi16(_mm256_shuffle_epi8(gathered, pairs), differ);  // (a - b) × 64
  const __m256i b = _mm256_unpackhi_epi8(gathered, _mm256_setzero_si256());
  return _mm256_add_epi16(b, _mm256_mulhi_epi16(a64, w4));
}

TARNVALE_AVX2 void interpolateRow(const TColor32* row, const Tap* taps, std::size_t first,
                                  std::size_t n, const TapPlan& plan, Wide* out) {
  if (plan.ints.empty()) {
    plan.scratch.resize(4 * paddedPixels(n));
    sse2Kernels().interpolateRow(row, taps, first, n, plan, plan.scratch.data());
    toBlockOrder(plan.scratch.data(), n, out);
    return;
  }
  // One block of eight pixels per step.
  const std::int32_t* block = plan.ints.data() + first / 8 * kBlockInts;
  const std::int32_t* const end = block + paddedPixels(n) / 8 * kBlockInts;
  for (; block != end; block += kBlockInts, out += 32) {
    const __m256i x0 = _mm256_permutevar8x32_epi32(load(row + block[kStart]), load(block + kIndex));
    const __m256i x1 =
        _mm256_permutevar8x32_epi32(load(row + block[kStart + 1]), load(block + kIndex + 8));
    store(out, interpolate(x0, load(block + kWeights)));
    store(out + 16, interpolate(x1, load(block + kWeights + 8)));
  }
}

// Stores the first `count` (1..8) pixels of a register, in pieces: a masked
// store is microcoded and slow on some processors.
TARNVALE_AVX2 void storePixels(TColor32* out, __m256i px, std::size_t count) {
  if (count >= 8) {
    store(out, px);
    return;
  }
  __m128i part = _mm256_castsi256_si128(px);
  if (count >= 4) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), part);
    part = _mm256_extracti128_si256(px, 1);
    out += 4;
    count -= 4;
  }
  if (count >= 2) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), part);
    part = _mm_unpackhi_epi64(part, part);
    out += 2;
    count -= 2;
  }
  if (count == 1) *out = static_cast<TColor32>(_mm_cvtsi128_si32(part));
}

// Blends rows (top, bottom) into `Count` destination rows; the difference
// is computed once per block for all of them.
template <int Count>
TARNVALE_AVX2 void blendInto(const Wide* top, const Wide* bottom, const int* weights,
                             TColor32* const* outs, std::size_t n) {
  __m256i w2[Count];
  TColor32* out[Count];
  for (int r = 0; r < Count; ++r) {
    w2[r] = _mm256_set1_epi16(static_cast<short>(2 * weights[r]));
    out[r] = outs[r];
  }
  // The rows' padding covers the last block of eight.
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i b0 = load(bottom + 4 * i), b1 = load(bottom + 4 * i + 16);
    const __m256i d0 = _mm256_slli_epi16(_mm256_sub_epi16(load(top + 4 * i), b0), 7);
    const __m256i d1 = _mm256_slli_epi16(_mm256_sub_epi16(load(top + 4 * i + 16), b1), 7);
    for (int r = 0; r < Count; ++r)
      store(out[r] + i, _mm256_packus_epi16(_mm256_add_epi16(b0, _mm256_mulhi_epi16(d0, w2[r])),
                                            _mm256_add_epi16(b1, _mm256_mulhi_epi16(d1, w2[r]))));
  }
  if (i < n) {
    const __m256i b0 = load(bottom + 4 * i), b1 = load(bottom + 4 * i + 16);
    const __m256i d0 = _mm256_slli_epi16(_mm256_sub_epi16(load(top + 4 * i), b0), 7);
    const __m256i d1 = _mm256_slli_epi16(_mm256_sub_epi16(load(top + 4 * i + 16), b1), 7);
    for (int r = 0; r < Count; ++r)
      storePixels(out[r] + i,
                  _mm256_packus_epi16(_mm256_add_epi16(b0, _mm256_mulhi_epi16(d0, w2[r])),
                                      _mm256_add_epi16(b1, _mm256_mulhi_epi16(d1, w2[r]))),
                  n - i);
  }
}

TARNVALE_AVX2 void blendRows(const Wide* top, const Wide* bottom, const int* weights,
                             TColor32* const* outs, int count, std::size_t n) {
  // One or two rows per pair of source rows is the rule when growing by up
  // to 200 %; larger groups go two at a time.
  for (; count >= 2; count -= 2, weights += 2, outs += 2)
    blendInto<2>(top, bottom, weights, outs, n);
  if (count == 1) blendInto<1>(top, bottom, weights, outs, n);
}

TARNVALE_AVX2 void narrowRow(const Wide* row, std::size_t n, TColor32* out) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8)
    store(out + i, _mm256_packus_epi16(load(row + 4 * i), load(row + 4 * i + 16)));
  if (i < n)
    storePixels(out + i, _mm256_packus_epi16(load(row + 4 * i), load(row + 4 * i + 16)), n - i);
}

TARNVALE_AVX2 void sumRows(const TColor32* const* rows, int count, std::size_t n,
                           std::uint16_t* sums) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i lo = _mm256_setzero_si256(), hi = _mm256_setzero_si256();
    for (int r = 0; r < count; ++r) {
      const __m256i px = load(rows[r] + i);
      lo = _mm256_add_epi16(lo, _mm256_cvtepu8_epi16(_mm256_castsi256_si128(px)));
      hi = _mm256_add_epi16(hi, _mm256_cvtepu8_epi16(_mm256_extracti128_si256(px, 1)));
    }
    store(sums + 4 * i, lo);
    store(sums + 4 * i + 16, hi);
  }
  if (i < n) {
    const TColor32* rest[kMaxWideBlock];
    for (int r = 0; r < count; ++r) rest[r] = rows[r] + i;
    sse2Kernels().sumRows(rest, count, n - i, sums + 4 * i);
  }
}

void averageBlocks(const std::uint16_t* sums, const Block* blocks, const std::uint16_t* reciprocals,
                   std::size_t n, TColor32* out) {
  sse2Kernels().averageBlocks(sums, blocks, reciprocals, n, out);
}

// Sums of source pixels (0, 1 | 4, 5) and (2, 3 | 6, 7) to blocks (0, 1 | 2, 3).
TARNVALE_AVX2 __m256i sumPairs(__m256i a, __m256i b) {
  return _mm256_add_epi16(_mm256_unpacklo_epi64(a, b), _mm256_unpackhi_epi64(a, b));
}

// Block sums to averages with a reciprocal in two parts; see Reciprocal.
TARNVALE_AVX2 __m256i averageOf(__m256i sums, __m256i hi, __m256i lo) {
  return _mm256_srli_epi16(
      _mm256_add_epi16(_mm256_mullo_epi16(sums, hi), _mm256_mulhi_epu16(sums, lo)), 8);
}

// Blocks two pixels wide, summed in registers: eight destination pixels
// from sixteen source pixels of each row per step.
TARNVALE_AVX2 void averagePairRows(const TColor32* const* rows, int count, std::size_t n,
                                   TColor32* out) {
  const Reciprocal r = reciprocalOf(2 * count);
  const __m256i hi = _mm256_set1_epi16(static_cast<short>(r.hi));
  const __m256i lo = _mm256_set1_epi16(static_cast<short>(r.lo));
  const __m256i zero = _mm256_setzero_si256();
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i a0 = zero, a1 = zero, b0 = zero, b1 = zero;
    for (int k = 0; k < count; ++k) {
      const __m256i pa = load(rows[k] + 2 * i), pb = load(rows[k] + 2 * i + 8);
      a0 = _mm256_add_epi16(a0, _mm256_unpacklo_epi8(pa, zero));
      a1 = _mm256_add_epi16(a1, _mm256_unpackhi_epi8(pa, zero));
      b0 = _mm256_add_epi16(b0, _mm256_unpacklo_epi8(pb, zero));
      b1 = _mm256_add_epi16(b1, _mm256_unpackhi_epi8(pb, zero));
    }
    // Blocks (0, 1 | 2, 3) and (4, 5 | 6, 7) pack to (0, 1, 4, 5 | 2, 3, 6, 7).
    const __m256i packed = _mm256_packus_epi16(averageOf(sumPairs(a0, a1), hi, lo),
                                               averageOf(sumPairs(b0, b1), hi, lo));
    store(out + i, _mm256_permute4x64_epi64(packed, _MM_SHUFFLE(3, 1, 2, 0)));
  }
  if (i < n) {
    const TColor32* rest[kMaxWideBlock];
    for (int k = 0; k < count; ++k) rest[k] = rows[k] + 2 * i;
    std::uint16_t sums[4 * 2 * 8];
    std::uint16_t reciprocals[kReciprocalLanes * 8];
    Block blocks[8];
    for (std::size_t j = 0; j < n - i; ++j) {
      blocks[j] = {static_cast<int>(2 * j), static_cast<int>(2 * j + 2)};
      for (int k = 0; k < 4; ++k) {
        reciprocals[kReciprocalLanes * j + k] = r.hi;
        reciprocals[kReciprocalLanes * j + 4 + k] = r.lo;
      }
    }
    sse2Kernels().sumRows(rest, count, 2 * (n - i), sums);
    sse2Kernels().averageBlocks(sums, blocks, reciprocals, n - i, out + i);
  }
}

constexpr Kernels kAvx2{planTaps, interpolateRow, blendRows,      narrowRow,
                        sumRows,  averageBlocks,  averagePairRows};

}  // namespace

const Kernels& avx2Kernels() {
  return kAvx2;
}

}  // namespace tarnvale::draft
