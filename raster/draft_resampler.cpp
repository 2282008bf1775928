#include "raster/draft_resampler.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarnvale {
namespace {

// ---- Shrinking: box averaging ----------------------------------------------

// One destination pixel's extent in the source, in 16.16 fixed point: the
// ratio rounded to float32 first, then truncated.
std::int64_t boxStep(long long srcLen, long long dstLen) {
  const float ratio = static_cast<float>(srcLen) / static_cast<float>(dstLen);
  return static_cast<std::int64_t>(65536.0f * ratio);
}

// Source offset (from the rectangle's edge) where the block of destination
// position i starts: floor(i × step / 65536).
long long boxStart(long long i, std::int64_t step) {
  return (i * step) >> 16;
}

struct Block {
  int first;  // source offsets [first, last)
  int last;
};

// Blocks of destination positions [from, to). Every block is at least one
// pixel long and none reaches past the source, even for sizes far beyond any
// display.
std::vector<Block> boxBlocks(long long srcLen, long long dstLen, long long from, long long to) {
  const std::int64_t step = boxStep(srcLen, dstLen);
  std::vector<Block> blocks(static_cast<std::size_t>(to - from));
  long long start = std::min(boxStart(from, step), srcLen);
  for (long long i = from; i < to; ++i) {
    const long long end = std::min(boxStart(i + 1, step), srcLen);
    const long long first = std::min(start, srcLen - 1);
    const long long last = std::max(end, first + 1);
    blocks[static_cast<std::size_t>(i - from)] = {static_cast<int>(first), static_cast<int>(last)};
    start = end;
  }
  return blocks;
}

// Average of a block from its channel sum: sum × floor(2^24 / n) >> 24. The
// truncated reciprocal makes some averages one low (three pixels of 255 give
// 254); only a power-of-two count reproduces a uniform value exactly.
std::uint32_t reciprocal24(std::uint64_t count) {
  return static_cast<std::uint32_t>((1u << 24) / count);
}

template <typename Sum>
void accumulateRowScalar(const TColor32* src, int count, Sum* sums, bool first) {
  for (int k = 0; k < count; ++k) {
    const TColor32 px = src[k];
    for (int c = 0; c < 4; ++c) {
      const Sum v = (px >> (8 * c)) & 0xFF;
      sums[4 * k + c] = first ? v : sums[4 * k + c] + v;
    }
  }
}

template <typename Sum>
TColor32 averageScalar(const Sum* sums, const Block& block, std::uint64_t rows) {
  std::uint64_t total[4] = {0, 0, 0, 0};
  for (int k = block.first; k < block.last; ++k)
    for (int c = 0; c < 4; ++c) total[c] += sums[4 * k + c];
  const std::uint64_t recip =
      reciprocal24(rows * static_cast<std::uint64_t>(block.last - block.first));
  TColor32 px = 0;
  for (int c = 0; c < 4; ++c) px |= static_cast<TColor32>((total[c] * recip) >> 24) << (8 * c);
  return px;
}

#if defined(__SSE2__)
// Adds (or, for the first row of a block, stores) four channel sums per pixel.
void accumulateRow(const TColor32* src, int count, std::uint32_t* sums, bool first) {
  const __m128i zero = _mm_setzero_si128();
  int k = 0;
  for (; k + 4 <= count; k += 4) {
    const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k));
    const __m128i lo = _mm_unpacklo_epi8(px, zero);
    const __m128i hi = _mm_unpackhi_epi8(px, zero);
    __m128i v[4] = {_mm_unpacklo_epi16(lo, zero), _mm_unpackhi_epi16(lo, zero),
                    _mm_unpacklo_epi16(hi, zero), _mm_unpackhi_epi16(hi, zero)};
    auto* out = reinterpret_cast<__m128i*>(sums + 4 * k);
    for (int m = 0; m < 4; ++m) {
      if (!first) v[m] = _mm_add_epi32(v[m], _mm_loadu_si128(out + m));
      _mm_storeu_si128(out + m, v[m]);
    }
  }
  accumulateRowScalar(src + k, count - k, sums + 4 * k, first);
}

// The products stay below 2^32 (sum ≤ 255 n, reciprocal ≤ 2^24 / n), so the
// 32 × 32 → 64-bit multiply of SSE2 loses nothing.
TColor32 average(const std::uint32_t* sums, const Block& block, std::uint64_t rows) {
  const auto* cells = reinterpret_cast<const __m128i*>(sums);
  __m128i total = _mm_loadu_si128(cells + block.first);
  for (int k = block.first + 1; k < block.last; ++k)
    total = _mm_add_epi32(total, _mm_loadu_si128(cells + k));
  const __m128i recip = _mm_set1_epi32(
      static_cast<int>(reciprocal24(rows * static_cast<std::uint64_t>(block.last - block.first))));
  const __m128i even = _mm_srli_epi64(_mm_mul_epu32(total, recip), 24);
  const __m128i odd = _mm_srli_epi64(_mm_mul_epu32(_mm_srli_epi64(total, 32), recip), 24);
  const __m128i channels = _mm_or_si128(even, _mm_slli_epi64(odd, 32));
  const __m128i words = _mm_packs_epi32(channels, channels);
  return static_cast<TColor32>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
}
#else
void accumulateRow(const TColor32* src, int count, std::uint32_t* sums, bool first) {
  accumulateRowScalar(src, count, sums, first);
}
TColor32 average(const std::uint32_t* sums, const Block& block, std::uint64_t rows) {
  return averageScalar(sums, block, rows);
}
#endif

template <typename Sum>
void boxAverage(const TargetPixels& dst, const TRect& clip, const SourcePixels& src,
                const TRect& srcRect, const std::vector<Block>& columns,
                const std::vector<Block>& rows) {
  // Source columns are summed down each block of rows first, then across.
  const int colFirst = columns.front().first;
  const int colCount = columns.back().last - colFirst;
  std::vector<Sum> sums(4 * static_cast<std::size_t>(colCount));
  std::vector<Block> local(columns);
  for (Block& b : local) b = {b.first - colFirst, b.last - colFirst};

  for (int y = clip.Top; y < clip.Bottom; ++y) {
    const Block& rb = rows[static_cast<std::size_t>(y - clip.Top)];
    for (int r = rb.first; r < rb.last; ++r) {
      const TColor32* srcRow =
          src.Bits + static_cast<long long>(srcRect.Top + r) * src.Width + srcRect.Left + colFirst;
      if constexpr (sizeof(Sum) == 4)
        accumulateRow(srcRow, colCount, sums.data(), r == rb.first);
      else
        accumulateRowScalar(srcRow, colCount, sums.data(), r == rb.first);
    }
    const auto rowCount = static_cast<std::uint64_t>(rb.last - rb.first);
    TColor32* out = dst.Bits + static_cast<long long>(y) * dst.Width + clip.Left;
    for (std::size_t i = 0; i < local.size(); ++i) {
      if constexpr (sizeof(Sum) == 4)
        out[i] = average(sums.data(), local[i], rowCount);
      else
        out[i] = averageScalar(sums.data(), local[i], rowCount);
    }
  }
}

void shrink(const TargetPixels& dst, const TRect& dstRect, const TRect& clip,
            const SourcePixels& src, const TRect& srcRect) {
  const auto columns =
      boxBlocks(srcRect.width(), dstRect.width(), clip.Left - static_cast<long long>(dstRect.Left),
                clip.Right - static_cast<long long>(dstRect.Left));
  const auto rows =
      boxBlocks(srcRect.height(), dstRect.height(), clip.Top - static_cast<long long>(dstRect.Top),
                clip.Bottom - static_cast<long long>(dstRect.Top));
  std::uint64_t widest = 0, tallest = 0;
  for (const Block& b : columns) widest = std::max<std::uint64_t>(widest, b.last - b.first);
  for (const Block& b : rows) tallest = std::max<std::uint64_t>(tallest, b.last - b.first);
  // 32-bit sums suffice unless a block holds more than 2^32 / 255 pixels.
  if (widest * tallest * 255 <= 0xFFFFFFFFu)
    boxAverage<std::uint32_t>(dst, clip, src, srcRect, columns, rows);
  else
    boxAverage<std::uint64_t>(dst, clip, src, srcRect, columns, rows);
}

// ---- Growing: bilinear interpolation ---------------------------------------

struct Tap {
  int first;   // source index of the pair's first pixel
  int second;  // its second pixel: first + 1, or first on an axis one pixel long
  int weight;  // of the first pixel, 0..256; the second gets 256 - weight
};

// Source position of the centre of destination position i:
// (start - 0.5) + (i + 0.5) × scale, evaluated exactly (a double holds it
// without rounding at any bitmap size) and rounded once to float32.
float sourceCentre(int start, long long i, float scale) {
  const double t = (static_cast<double>(start) - 0.5) +
                   (static_cast<double>(i) + 0.5) * static_cast<double>(scale);
  return static_cast<float>(t);
}

// Pairs and weights of destination positions [from, to) along one axis.
// srcStart/srcEnd bound the source rectangle, srcSize the whole source.
std::vector<Tap> bilinearTaps(int srcStart, int srcEnd, int srcSize, long long dstLen,
                              long long from, long long to) {
  std::vector<Tap> taps(static_cast<std::size_t>(to - from));
  const long long srcLen = static_cast<long long>(srcEnd) - srcStart;
  if (srcLen == 1) {
    // Nothing to interpolate between: every position repeats the one pixel.
    std::fill(taps.begin(), taps.end(), Tap{srcStart, srcStart, 256});
    return taps;
  }
  const float scale = static_cast<float>(srcLen) / static_cast<float>(dstLen);
  const float lastPixel = static_cast<float>(srcSize - 1);
  for (long long i = from; i < to; ++i) {
    float t = sourceCentre(srcStart, i, scale);
    if (t < 0.0f) t = 0.0f;
    if (t > lastPixel) t = lastPixel;
    int first = static_cast<int>(std::floor(t));
    // frac × 256 is exact; nearbyint rounds halves to even.
    const float frac = t - static_cast<float>(first);
    int weight = 256 - static_cast<int>(std::nearbyint(frac * 256.0f));
    // A pair whose second pixel lies past the rectangle moves one pixel left
    // and gives all weight to its second pixel, the rectangle's last. Positions
    // never decrease with i, so these are the trailing positions of the axis.
    if (first + 1 >= srcEnd) {
      first = srcEnd - 2;
      weight = 0;
    }
    taps[static_cast<std::size_t>(i - from)] = {first, first + 1, weight};
  }
  return taps;
}

// top = (w × a + (256 - w) × b) >> 8 per channel; the sum fits 16 bits.
TColor32 mixScalar(TColor32 a, TColor32 b, int weight) {
  TColor32 out = 0;
  for (int c = 0; c < 4; ++c) {
    const std::uint32_t va = (a >> (8 * c)) & 0xFF;
    const std::uint32_t vb = (b >> (8 * c)) & 0xFF;
    out |= ((static_cast<std::uint32_t>(weight) * va + (256u - weight) * vb) >> 8) << (8 * c);
  }
  return out;
}

#if defined(__SSE2__)
struct TapWeights {
  __m128i lanes;  // (w, 256 - w) four times, as 16-bit lanes
};

TapWeights tapWeights(int weight) {
  return {_mm_set_epi16(static_cast<short>(256 - weight), static_cast<short>(weight),
                        static_cast<short>(256 - weight), static_cast<short>(weight),
                        static_cast<short>(256 - weight), static_cast<short>(weight),
                        static_cast<short>(256 - weight), static_cast<short>(weight))};
}

// Channels of the pair interleaved (a.b, b.b, a.g, b.g, ...) as 16-bit lanes,
// so one multiply-add gives w × a + (256 - w) × b per channel.
__m128i mixTap(const TColor32* row, const Tap& tap, const TapWeights& w) {
  const __m128i a = _mm_cvtsi32_si128(static_cast<int>(row[tap.first]));
  const __m128i b = _mm_cvtsi32_si128(static_cast<int>(row[tap.second]));
  const __m128i pairs = _mm_unpacklo_epi8(_mm_unpacklo_epi8(a, b), _mm_setzero_si128());
  return _mm_srli_epi32(_mm_madd_epi16(pairs, w.lanes), 8);
}

void interpolateRow(const TColor32* row, const std::vector<Tap>& taps,
                    const std::vector<TapWeights>& weights, TColor32* out) {
  const std::size_t n = taps.size();
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128i p0 = mixTap(row, taps[i], weights[i]);
    const __m128i p1 = mixTap(row, taps[i + 1], weights[i + 1]);
    const __m128i p2 = mixTap(row, taps[i + 2], weights[i + 2]);
    const __m128i p3 = mixTap(row, taps[i + 3], weights[i + 3]);
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(p0, p1), _mm_packs_epi32(p2, p3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), packed);
  }
  for (; i < n; ++i) out[i] = mixScalar(row[taps[i].first], row[taps[i].second], taps[i].weight);
}

// result = (wy × top + (256 - wy) × bottom) >> 8; each product and the sum
// stay below 2^16, so 16-bit lanes are exact.
void blendRows(const TColor32* top, const TColor32* bottom, int weight, std::size_t n,
               TColor32* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i wt = _mm_set1_epi16(static_cast<short>(weight));
  const __m128i wb = _mm_set1_epi16(static_cast<short>(256 - weight));
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + i));
    const __m128i lo =
        _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(t, zero), wt),
                                     _mm_mullo_epi16(_mm_unpacklo_epi8(b, zero), wb)),
                       8);
    const __m128i hi =
        _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(t, zero), wt),
                                     _mm_mullo_epi16(_mm_unpackhi_epi8(b, zero), wb)),
                       8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
  }
  for (; i < n; ++i) out[i] = mixScalar(top[i], bottom[i], weight);
}
#else
using TapWeights = int;

TapWeights tapWeights(int weight) {
  return weight;
}

void interpolateRow(const TColor32* row, const std::vector<Tap>& taps,
                    const std::vector<TapWeights>&, TColor32* out) {
  for (std::size_t i = 0; i < taps.size(); ++i)
    out[i] = mixScalar(row[taps[i].first], row[taps[i].second], taps[i].weight);
}

void blendRows(const TColor32* top, const TColor32* bottom, int weight, std::size_t n,
               TColor32* out) {
  for (std::size_t i = 0; i < n; ++i) out[i] = mixScalar(top[i], bottom[i], weight);
}
#endif

// The two source rows of the current destination row, interpolated across.
// Growing rows reuse them for several destination rows.
class RowCache {
 public:
  RowCache(const SourcePixels& src, const std::vector<Tap>& columns)
      : src_(src), columns_(columns) {
    for (const Tap& t : columns) weights_.push_back(tapWeights(t.weight));
    for (auto& line : lines_) line.pixels.resize(columns.size());
  }

  // Row `row` interpolated across, evicting a line other than `keep`.
  const TColor32* get(int row, int keep) {
    for (auto& line : lines_)
      if (line.row == row) return line.pixels.data();
    Line& line = lines_[0].row == keep ? lines_[1] : lines_[0];
    interpolateRow(src_.Bits + static_cast<long long>(row) * src_.Width, columns_, weights_,
                   line.pixels.data());
    line.row = row;
    return line.pixels.data();
  }

 private:
  struct Line {
    int row = -1;
    std::vector<TColor32> pixels;
  };
  const SourcePixels& src_;
  const std::vector<Tap>& columns_;
  std::vector<TapWeights> weights_;
  Line lines_[2];
};

void enlarge(const TargetPixels& dst, const TRect& dstRect, const TRect& clip,
             const SourcePixels& src, const TRect& srcRect) {
  const auto columns = bilinearTaps(srcRect.Left, srcRect.Right, src.Width, dstRect.width(),
                                    clip.Left - static_cast<long long>(dstRect.Left),
                                    clip.Right - static_cast<long long>(dstRect.Left));
  const auto rows = bilinearTaps(srcRect.Top, srcRect.Bottom, src.Height, dstRect.height(),
                                 clip.Top - static_cast<long long>(dstRect.Top),
                                 clip.Bottom - static_cast<long long>(dstRect.Top));
  RowCache cache(src, columns);
  const std::size_t n = columns.size();
  for (int y = clip.Top; y < clip.Bottom; ++y) {
    const Tap& r = rows[static_cast<std::size_t>(y - clip.Top)];
    TColor32* out = dst.Bits + static_cast<long long>(y) * dst.Width + clip.Left;
    const TColor32* top = cache.get(r.first, r.second);
    if (r.weight == 256) {
      std::memcpy(out, top, n * sizeof(TColor32));
      continue;
    }
    const TColor32* bottom = cache.get(r.second, r.first);
    if (r.weight == 0)
      std::memcpy(out, bottom, n * sizeof(TColor32));
    else
      blendRows(top, bottom, r.weight, n, out);
  }
}

}  // namespace

void TDraftResampler::Resample(const TargetPixels& Dst, const TRect& DstRect, const TRect& DstClip,
                               const SourcePixels& Src, const TRect& SrcRect) const {
  const bool grows = DstRect.width() > SrcRect.width() || DstRect.height() > SrcRect.height();
  if (grows)
    enlarge(Dst, DstRect, DstClip, Src, SrcRect);
  else
    shrink(Dst, DstRect, DstClip, Src, SrcRect);
}

}  // namespace tarnvale
