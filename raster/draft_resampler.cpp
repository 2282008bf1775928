#include "raster/draft_resampler.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "raster/draft_kernels.h"

namespace tarnvale {
namespace {

using draft::Block;
using draft::Kernels;
using draft::Wide;

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

// Blocks of destination positions [from, to). Every block is at least one
// pixel long and none reaches past the source, even for sizes far beyond any
// display.
void boxBlocks(long long srcLen, long long dstLen, long long from, long long to,
               std::vector<Block>& blocks) {
  const std::int64_t step = boxStep(srcLen, dstLen);
  blocks.resize(static_cast<std::size_t>(to - from));
  long long start = std::min(boxStart(from, step), srcLen);
  for (long long i = from; i < to; ++i) {
    const long long end = std::min(boxStart(i + 1, step), srcLen);
    const long long first = std::min(start, srcLen - 1);
    const long long last = std::max(end, first + 1);
    blocks[static_cast<std::size_t>(i - from)] = {static_cast<int>(first), static_cast<int>(last)};
    start = end;
  }
}

int channel(TColor32 px, int c) {
  return static_cast<int>((px >> (8 * c)) & 0xFF);
}

// Blocks of more than kMaxWideBlock pixels (shrinking by more than 16 in
// each direction): 64-bit sums, sum × floor(2^24 / n) >> 24 per channel. The
// truncated reciprocal makes some averages one low (three pixels of 255 give
// 254); only a power-of-two count reproduces a uniform value exactly.
void boxAverageLarge(const TargetPixels& dst, const TRect& clip, const SourcePixels& src,
                     const TRect& srcRect, const std::vector<Block>& columns,
                     const std::vector<Block>& rows) {
  for (int y = clip.Top; y < clip.Bottom; ++y) {
    const Block& rb = rows[static_cast<std::size_t>(y - clip.Top)];
    TColor32* out = dst.Bits + static_cast<long long>(y) * dst.Width + clip.Left;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const Block& cb = columns[i];
      std::uint64_t sum[4] = {0, 0, 0, 0};
      for (int r = rb.first; r < rb.last; ++r) {
        const TColor32* row =
            src.Bits + static_cast<long long>(srcRect.Top + r) * src.Width + srcRect.Left;
        for (int k = cb.first; k < cb.last; ++k)
          for (int c = 0; c < 4; ++c) sum[c] += channel(row[k], c);
      }
      const std::uint64_t count = static_cast<std::uint64_t>(rb.last - rb.first) *
                                  static_cast<std::uint64_t>(cb.last - cb.first);
      const std::uint64_t recip = (std::uint64_t{1} << 24) / count;
      TColor32 px = 0;
      for (int c = 0; c < 4; ++c) px |= static_cast<TColor32>((sum[c] * recip) >> 24) << (8 * c);
      out[i] = px;
    }
  }
}

struct ShrinkTables {
  std::vector<Block> columns;  // from the source rectangle's left edge
  std::vector<Block> local;    // the same from the first column used
  std::vector<Block> rows;     // from its top edge
  int colFirst = 0;
  int colCount = 0;
  int uniform = 0;  // width shared by all blocks when they are adjacent, else 0
  bool large = false;
  // Reciprocal parts of each column's block count, per number of rows in a
  // block (at most a few distinct numbers).
  // The first reciprocalsUsed entries are this table's; the rest keep their
  // memory for the next.
  std::vector<std::pair<int, std::vector<std::uint16_t>>> reciprocals;
  std::size_t reciprocalsUsed = 0;
  mutable std::vector<std::uint16_t> sums;  // scratch of one destination row

  const std::uint16_t* reciprocalsFor(int rowCount) const {
    for (std::size_t i = 0; i < reciprocalsUsed; ++i)
      if (reciprocals[i].first == rowCount) return reciprocals[i].second.data();
    return nullptr;
  }
};

// Fills t in place: its vectors keep their memory from one call to the next.
void shrinkTables(const TRect& dstRect, const TRect& clip, const TRect& srcRect, ShrinkTables& t) {
  boxBlocks(srcRect.width(), dstRect.width(), clip.Left - static_cast<long long>(dstRect.Left),
            clip.Right - static_cast<long long>(dstRect.Left), t.columns);
  boxBlocks(srcRect.height(), dstRect.height(), clip.Top - static_cast<long long>(dstRect.Top),
            clip.Bottom - static_cast<long long>(dstRect.Top), t.rows);
  t.reciprocalsUsed = 0;
  long long widest = 0, tallest = 0;
  for (const Block& b : t.columns) widest = std::max<long long>(widest, b.last - b.first);
  for (const Block& b : t.rows) tallest = std::max<long long>(tallest, b.last - b.first);
  t.large = widest * tallest > draft::kMaxWideBlock;
  t.colFirst = t.columns.front().first;
  t.colCount = t.columns.back().last - t.colFirst;
  t.local = t.columns;
  for (Block& b : t.local) b = {b.first - t.colFirst, b.last - t.colFirst};
  t.uniform = t.local.front().last - t.local.front().first;
  for (std::size_t i = 0; i < t.local.size(); ++i)
    if (t.local[i].first != static_cast<int>(i) * t.uniform ||
        t.local[i].last - t.local[i].first != t.uniform)
      t.uniform = 0;
  if (t.large) return;
  for (const Block& rb : t.rows) {
    const int count = rb.last - rb.first;
    if (t.reciprocalsFor(count) != nullptr) continue;
    if (t.reciprocalsUsed == t.reciprocals.size()) t.reciprocals.emplace_back();
    auto& [laneCount, lanes] = t.reciprocals[t.reciprocalsUsed++];
    laneCount = count;
    lanes.resize(draft::kReciprocalLanes * t.local.size());
    for (std::size_t i = 0; i < t.local.size(); ++i) {
      const draft::Reciprocal r = draft::reciprocalOf((t.local[i].last - t.local[i].first) * count);
      for (int k = 0; k < 4; ++k) {
        lanes[draft::kReciprocalLanes * i + k] = r.hi;
        lanes[draft::kReciprocalLanes * i + 4 + k] = r.lo;
      }
    }
  }
}

void shrink(const Kernels& k, const ShrinkTables& t, const TargetPixels& dst, const TRect& clip,
            const SourcePixels& src, const TRect& srcRect) {
  if (t.large) {
    boxAverageLarge(dst, clip, src, srcRect, t.columns, t.rows);
    return;
  }
  // Sums fit 16 bits: each destination row sums its source rows down, then
  // averages the blocks across; blocks two pixels wide (halving) may take
  // one fused step.
  const bool pairs = t.uniform == 2 && k.averagePairRows != nullptr;
  std::vector<std::uint16_t>& sums = t.sums;
  sums.resize(4 * static_cast<std::size_t>(t.colCount));
  const TColor32* rowStarts[draft::kMaxWideBlock];
  for (int y = clip.Top; y < clip.Bottom; ++y) {
    const Block& rb = t.rows[static_cast<std::size_t>(y - clip.Top)];
    const int count = rb.last - rb.first;
    for (int r = 0; r < count; ++r)
      rowStarts[r] = src.Bits + static_cast<long long>(srcRect.Top + rb.first + r) * src.Width +
                     srcRect.Left + t.colFirst;
    TColor32* out = dst.Bits + static_cast<long long>(y) * dst.Width + clip.Left;
    if (pairs) {
      k.averagePairRows(rowStarts, count, t.local.size(), out);
      continue;
    }
    k.sumRows(rowStarts, count, static_cast<std::size_t>(t.colCount), sums.data());
    k.averageBlocks(sums.data(), t.local.data(), t.reciprocalsFor(count), t.local.size(), out);
  }
}

// ---- Growing: bilinear interpolation ---------------------------------------

struct AxisTap {
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

// v (0 <= v < 256, a multiple of 1/2^16 or finer) to the nearest integer,
// halves to the even one. Every step is exact in float.
int roundHalfEven(float v) {
  int whole = static_cast<int>(v);
  const float rest = v - static_cast<float>(whole);
  if (rest > 0.5f || (rest == 0.5f && whole % 2 != 0)) ++whole;
  return whole;
}

// Pairs and weights of destination positions [from, to) along one axis.
// srcStart/srcEnd bound the source rectangle, srcSize the whole source.
void bilinearTaps(int srcStart, int srcEnd, int srcSize, long long dstLen, long long from,
                  long long to, std::vector<AxisTap>& taps) {
  taps.resize(static_cast<std::size_t>(to - from));
  const long long srcLen = static_cast<long long>(srcEnd) - srcStart;
  if (srcLen == 1) {
    // Nothing to interpolate between: every position repeats the one pixel.
    std::fill(taps.begin(), taps.end(), AxisTap{srcStart, srcStart, 256});
    return;
  }
  const float scale = static_cast<float>(srcLen) / static_cast<float>(dstLen);
  const float lastPixel = static_cast<float>(srcSize - 1);
  for (long long i = from; i < to; ++i) {
    float t = sourceCentre(srcStart, i, scale);
    if (t < 0.0f) t = 0.0f;
    if (t > lastPixel) t = lastPixel;
    int first = static_cast<int>(t);  // t >= 0: truncation is floor
    const int weight = 256 - roundHalfEven((t - static_cast<float>(first)) * 256.0f);
    // A pair whose second pixel lies past the rectangle moves one pixel left
    // and gives all weight to its second pixel, the rectangle's last. Positions
    // never decrease with i, so these are the trailing positions of the axis.
    if (first + 1 >= srcEnd) {
      first = srcEnd - 2;
      taps[static_cast<std::size_t>(i - from)] = {first, first + 1, 0};
      continue;
    }
    taps[static_cast<std::size_t>(i - from)] = {first, first + 1, weight};
  }
}

struct GrowTables {
  std::vector<AxisTap> columns;
  std::vector<AxisTap> rows;
  std::vector<draft::Tap> taps;  // the columns as the kernels take them
  draft::TapPlan plan;
  bool singleColumn = false;           // a source one pixel wide
  mutable std::vector<Wide> lines[2];  // the row cache's memory
};

// Fills t in place: its vectors keep their memory from one call to the next.
void growTables(const Kernels& k, const TRect& dstRect, const TRect& clip, const SourcePixels& src,
                const TRect& srcRect, GrowTables& t) {
  bilinearTaps(srcRect.Left, srcRect.Right, src.Width, dstRect.width(),
               clip.Left - static_cast<long long>(dstRect.Left),
               clip.Right - static_cast<long long>(dstRect.Left), t.columns);
  bilinearTaps(srcRect.Top, srcRect.Bottom, src.Height, dstRect.height(),
               clip.Top - static_cast<long long>(dstRect.Top),
               clip.Bottom - static_cast<long long>(dstRect.Top), t.rows);
  t.singleColumn = t.columns.front().first == t.columns.front().second;
  t.taps.clear();
  if (!t.singleColumn) {
    for (const AxisTap& c : t.columns) t.taps.push_back({c.first, c.weight});
    k.planTaps(t.taps.data(), t.taps.size(), src.Width, t.plan);
  }
}

// Source rows interpolated across, kept while destination rows reuse them.
class RowCache {
 public:
  // Columns [first, first + n) of those the tables hold.
  RowCache(const Kernels& k, const GrowTables& t, const SourcePixels& src, std::size_t first,
           std::size_t n)
      : k_(k), t_(t), src_(src), first_(first), n_(n), lines_{{-1, t.lines[0]}, {-1, t.lines[1]}} {
    for (auto& line : lines_) line.pixels.resize(4 * draft::paddedPixels(n_));
  }

  // Row `row` interpolated across, evicting a line other than `keep`.
  const Wide* get(int row, int keep) {
    for (auto& line : lines_)
      if (line.row == row) return line.pixels.data();
    Line& line = lines_[0].row == keep ? lines_[1] : lines_[0];
    const TColor32* src = src_.Bits + static_cast<long long>(row) * src_.Width;
    if (t_.singleColumn) {
      // That pixel in every column, padding included.
      const TColor32 px = src[t_.columns.front().first];
      for (std::size_t i = 0; i < draft::paddedPixels(n_); ++i)
        for (int c = 0; c < 4; ++c) line.pixels[4 * i + c] = static_cast<Wide>(channel(px, c));
    } else {
      k_.interpolateRow(src, t_.taps.data(), first_, n_, t_.plan, line.pixels.data());
    }
    line.row = row;
    return line.pixels.data();
  }

 private:
  struct Line {
    int row;
    std::vector<Wide>& pixels;
  };
  const Kernels& k_;
  const GrowTables& t_;
  const SourcePixels& src_;
  const std::size_t first_;
  const std::size_t n_;
  Line lines_[2];
};

// The tables cover `tabled`; clip lies inside it, its left edge a multiple
// of kRowPadding columns from tabled's.
void enlarge(const Kernels& k, const GrowTables& t, const TargetPixels& dst, const TRect& tabled,
             const TRect& clip, const SourcePixels& src) {
  const auto first = static_cast<std::size_t>(clip.Left - tabled.Left);
  const auto n = static_cast<std::size_t>(clip.width());
  RowCache cache(k, t, src, first, n);
  auto outRow = [&](int y) { return dst.Bits + static_cast<long long>(y) * dst.Width + clip.Left; };
  auto rowTap = [&](int y) -> const AxisTap& {
    return t.rows[static_cast<std::size_t>(y - tabled.Top)];
  };
  for (int y = clip.Top; y < clip.Bottom;) {
    const AxisTap& r = rowTap(y);
    // Weights of 256 or 0 take one row as it is.
    if (r.weight == 256 || r.weight == 0) {
      const int row = r.weight == 256 ? r.first : r.second;
      k.narrowRow(cache.get(row, row), n, outRow(y++));
      continue;
    }
    // Following rows between the same two source rows blend in one pass.
    int weights[draft::kMaxBlendRows];
    TColor32* outs[draft::kMaxBlendRows];
    int count = 0;
    while (y < clip.Bottom && count < draft::kMaxBlendRows) {
      const AxisTap& next = rowTap(y);
      if (next.first != r.first || next.weight == 0 || next.weight == 256) break;
      weights[count] = next.weight;
      outs[count++] = outRow(y++);
    }
    const Wide* top = cache.get(r.first, r.second);
    const Wide* bottom = cache.get(r.second, r.first);
    k.blendRows(top, bottom, weights, outs, count, n);
  }
}

}  // namespace

struct TDraftResampler::Tables {
  bool made = false;
  TRect dstRect, clip, srcRect;
  int srcWidth = 0, srcHeight = 0;
  draft::SimdLevel level = draft::SimdLevel::scalar;
  bool grows = false;
  GrowTables grow;
  ShrinkTables shrink;

  bool madeFor(const TRect& d, const TRect& c, const TRect& s, const SourcePixels& src,
               draft::SimdLevel l) const {
    return made && dstRect == d && clip == c && srcRect == s && srcWidth == src.Width &&
           srcHeight == src.Height && level == l;
  }
  // Rebuilt in place for these rectangles; not `made` should building fail.
  void makeFor(const Kernels& kernels, const TRect& d, const TRect& c, const TRect& s,
               const SourcePixels& src, draft::SimdLevel l) {
    made = false;
    dstRect = d;
    clip = c;
    srcRect = s;
    srcWidth = src.Width;
    srcHeight = src.Height;
    level = l;
    grows = d.width() > s.width() || d.height() > s.height();
    if (grows)
      growTables(kernels, d, c, src, s, grow);
    else
      shrinkTables(d, c, s, shrink);
    made = true;
  }
};

TDraftResampler::TDraftResampler() = default;
TDraftResampler::~TDraftResampler() = default;

void TDraftResampler::Resample(const TargetPixels& Dst, const TRect& DstRect, const TRect& DstClip,
                               const SourcePixels& Src, const TRect& SrcRect) const {
  const draft::SimdLevel level = draft::activeSimdLevel();
  const Kernels& kernels = draft::kernelsFor(level);
  // Growing, the tables of the whole destination serve every part of it
  // that starts on a block of columns: the display copy draws a few small
  // changed parts of the display for every buffer, and the tables would
  // otherwise be rebuilt for each one.
  const TRect whole = intersect(DstRect, TRect{0, 0, Dst.Width, Dst.Height});
  const bool grows = DstRect.width() > SrcRect.width() || DstRect.height() > SrcRect.height();
  if (grows && whole.contains(DstClip) && (DstClip.Left - whole.Left) % draft::kRowPadding == 0) {
    if (!wholeTables_) wholeTables_ = std::make_unique<Tables>();
    Tables& t = *wholeTables_;
    if (!t.madeFor(DstRect, whole, SrcRect, Src, level))
      t.makeFor(kernels, DstRect, whole, SrcRect, Src, level);
    enlarge(kernels, t.grow, Dst, whole, DstClip, Src);
    return;
  }
  // Rebuilt in place when the rectangles change (the display draws only
  // what changed, in rectangles of every size): no heap churn per buffer.
  if (!tables_) tables_ = std::make_unique<Tables>();
  if (!tables_->madeFor(DstRect, DstClip, SrcRect, Src, level))
    tables_->makeFor(kernels, DstRect, DstClip, SrcRect, Src, level);
  if (tables_->grows)
    enlarge(kernels, tables_->grow, Dst, DstClip, DstClip, Src);
  else
    shrink(kernels, tables_->shrink, Dst, DstClip, Src, SrcRect);
}

}  // namespace tarnvale
