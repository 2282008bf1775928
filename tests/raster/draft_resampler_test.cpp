// The draft resampler against a plain reference written straight from its
// rules: per pixel, no tables, float32 where the rules round to it.
#include "raster/draft_resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "raster/bitmap32.h"
#include "raster/draft_kernels.h"
#include "tests/raster/image_files.h"

namespace tarnvale {
namespace {

using test::Picture;

int channel(TColor32 px, int c) {
  return static_cast<int>((px >> (8 * c)) & 0xFF);
}

// Shrinking: the average of the destination pixel's block of source pixels.
TColor32 referenceBox(const Picture& src, const TRect& s, long long dw, long long dh, long long i,
                      long long j) {
  const float sx = static_cast<float>(s.width()) / static_cast<float>(dw);
  const float sy = static_cast<float>(s.height()) / static_cast<float>(dh);
  const auto stepX = static_cast<long long>(std::trunc(65536.0f * sx));
  const auto stepY = static_cast<long long>(std::trunc(65536.0f * sy));
  const long long x0 = i * stepX / 65536, x1 = (i + 1) * stepX / 65536;
  const long long y0 = j * stepY / 65536, y1 = (j + 1) * stepY / 65536;
  const long long n = (x1 - x0) * (y1 - y0);
  TColor32 out = 0;
  for (int c = 0; c < 4; ++c) {
    long long sum = 0;
    for (long long y = y0; y < y1; ++y)
      for (long long x = x0; x < x1; ++x)
        sum += channel(src.at(static_cast<int>(s.Left + x), static_cast<int>(s.Top + y)), c);
    out |= static_cast<TColor32>(sum * (16777216 / n) / 16777216) << (8 * c);
  }
  return out;
}

// Round to the nearest integer, halves to the even one.
int roundHalfEven(float v) {
  const float lower = std::floor(v);
  const float rest = v - lower;
  int r = static_cast<int>(lower);
  if (rest > 0.5f || (rest == 0.5f && r % 2 != 0)) ++r;
  return r;
}

struct Pair {
  int p;       // first source index
  int second;  // second source index
  int w;       // weight of the first
};

// The pair of destination position i along an axis before the right-edge rule.
Pair rawPair(long long i, long long dstLen, int start, int end, int srcSize) {
  const float scale = static_cast<float>(end - start) / static_cast<float>(dstLen);
  // Evaluated exactly, held as float32.
  float t = static_cast<float>(static_cast<long double>(start) - 0.5L +
                               (static_cast<long double>(i) + 0.5L) * scale);
  if (t < 0) t = 0;
  if (t > static_cast<float>(srcSize - 1)) t = static_cast<float>(srcSize - 1);
  const int p = static_cast<int>(std::floor(t));
  const float frac = t - static_cast<float>(p);
  return {p, p + 1, 256 - roundHalfEven(frac * 256.0f)};
}

Pair referencePair(long long i, long long dstLen, int start, int end, int srcSize) {
  // One source pixel along this axis: no neighbour, the pixel repeats.
  if (end - start == 1) return {start, start, 256};
  Pair pair = rawPair(i, dstLen, start, end, srcSize);
  // From the last position leftwards, while the pair's second pixel is the
  // rectangle's edge, the pair moves left with all weight on its second.
  for (long long k = dstLen - 1; k >= i; --k) {
    if (rawPair(k, dstLen, start, end, srcSize).p + 1 != end) break;
    if (k == i) pair = {pair.p - 1, pair.p, 0};
  }
  return pair;
}

TColor32 referenceBilinear(const Picture& src, const TRect& s, long long dw, long long dh,
                           long long i, long long j) {
  const Pair x = referencePair(i, dw, s.Left, s.Right, src.width);
  const Pair y = referencePair(j, dh, s.Top, s.Bottom, src.height);
  TColor32 out = 0;
  for (int c = 0; c < 4; ++c) {
    const int tl = channel(src.at(x.p, y.p), c), tr = channel(src.at(x.second, y.p), c);
    const int bl = channel(src.at(x.p, y.second), c), br = channel(src.at(x.second, y.second), c);
    const int top = (x.w * tl + (256 - x.w) * tr) / 256;
    const int bottom = (x.w * bl + (256 - x.w) * br) / 256;
    out |= static_cast<TColor32>((y.w * top + (256 - y.w) * bottom) / 256) << (8 * c);
  }
  return out;
}

// The whole stretched draw: dst as it must look afterwards.
Picture referenceDraw(Picture dst, const TRect& dr, const Picture& src, const TRect& sr) {
  const long long dw = dr.width(), dh = dr.height(), sw = sr.width(), sh = sr.height();
  for (int y = std::max(dr.Top, 0); y < std::min(dr.Bottom, dst.height); ++y)
    for (int x = std::max(dr.Left, 0); x < std::min(dr.Right, dst.width); ++x) {
      const long long i = x - dr.Left, j = y - dr.Top;
      TColor32& px = dst.pixels[static_cast<std::size_t>(y) * dst.width + x];
      if (dw == sw && dh == sh)
        px = src.at(static_cast<int>(sr.Left + i), static_cast<int>(sr.Top + j));
      else if (dw > sw || dh > sh)
        px = referenceBilinear(src, sr, dw, dh, i, j);
      else
        px = referenceBox(src, sr, dw, dh, i, j);
    }
  return dst;
}

// Every kernel set this processor runs, each checked on its own.
std::vector<draft::SimdLevel> levels() {
  std::vector<draft::SimdLevel> all;
  for (auto l : {draft::SimdLevel::scalar, draft::SimdLevel::sse2, draft::SimdLevel::avx2})
    if (l <= draft::bestSimdLevel()) all.push_back(l);
  return all;
}

const char* nameOf(draft::SimdLevel l) {
  switch (l) {
    case draft::SimdLevel::scalar:
      return "scalar";
    case draft::SimdLevel::sse2:
      return "SSE2";
    case draft::SimdLevel::avx2:
      return "AVX2";
  }
  return "?";
}

// Draws with the draft resampler under every kernel set and compares with
// the reference; returns the first differing pixel's description, or "".
std::string compare(const Picture& dstBefore, const TRect& dr, const Picture& src,
                    const TRect& sr) {
  const Picture want = referenceDraw(dstBefore, dr, src, sr);
  TBitmap32 s;
  test::paint(s, src);
  s.SetResampler(std::make_shared<TDraftResampler>());
  const draft::SimdLevel active = draft::activeSimdLevel();
  std::string diff;
  for (draft::SimdLevel level : levels()) {
    draft::setActiveSimdLevel(level);
    // Twice: the second draw reuses the tables of the first.
    for (int round = 0; round < 2 && diff.empty(); ++round) {
      TBitmap32 d;
      test::paint(d, dstBefore);
      d.Draw(dr, sr, s);
      const Picture got = test::pixelsOf(d);
      for (int y = 0; y < want.height && diff.empty(); ++y)
        for (int x = 0; x < want.width && diff.empty(); ++x)
          if (got.at(x, y) != want.at(x, y)) {
            std::ostringstream msg;
            msg << nameOf(level) << ": source " << src.width << "x" << src.height << " rect "
                << sr.Left << "," << sr.Top << "," << sr.Right << "," << sr.Bottom << " onto "
                << dstBefore.width << "x" << dstBefore.height << " rect " << dr.Left << ","
                << dr.Top << "," << dr.Right << "," << dr.Bottom << ": pixel " << x << "," << y
                << " is " << std::hex << got.at(x, y) << ", reference " << want.at(x, y);
            diff = msg.str();
          }
    }
  }
  draft::setActiveSimdLevel(active);
  return diff;
}

bool growsFromOnePixel(long long sw, long long sh, long long dw, long long dh) {
  return (dw > sw || dh > sh) && (sw == 1 || sh == 1);
}

TEST(DraftResampler, MatchesReferenceOnRandomSizes) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<int> side(1, 64);
  int compared = 0;
  while (compared < 3000) {
    const int sw = side(rng), sh = side(rng), dw = side(rng), dh = side(rng);
    if (growsFromOnePixel(sw, sh, dw, dh)) continue;  // checked on its own below
    const Picture src = test::randomPicture(rng, sw, sh);
    const Picture dst = test::randomPicture(rng, dw, dh);
    const std::string diff = compare(dst, {0, 0, dw, dh}, src, {0, 0, sw, sh});
    ASSERT_EQ(diff, "");
    ++compared;
  }
}

TEST(DraftResampler, MatchesReferenceOnRectanglesInsideAndAcrossTheBitmaps) {
  std::mt19937 rng(77);
  std::uniform_int_distribution<int> side(1, 48);
  int compared = 0;
  while (compared < 1500) {
    const int srcW = side(rng), srcH = side(rng), dstW = side(rng), dstH = side(rng);
    // A source rectangle inside the source; a destination rectangle that may
    // reach past any edge of the destination.
    std::uniform_int_distribution<int> l(0, srcW - 1), t(0, srcH - 1);
    const int sl = l(rng), st = t(rng);
    const int sr = std::uniform_int_distribution<int>(sl + 1, srcW)(rng);
    const int sb = std::uniform_int_distribution<int>(st + 1, srcH)(rng);
    std::uniform_int_distribution<int> dx(-20, dstW + 5), dy(-20, dstH + 5), extent(1, 70);
    const int dl = dx(rng), dt = dy(rng);
    const TRect dr{dl, dt, dl + extent(rng), dt + extent(rng)};
    if (growsFromOnePixel(sr - sl, sb - st, dr.width(), dr.height())) continue;
    const Picture src = test::randomPicture(rng, srcW, srcH);
    const Picture dst = test::randomPicture(rng, dstW, dstH);
    ASSERT_EQ(compare(dst, dr, src, {sl, st, sr, sb}), "");
    ++compared;
  }
}

TEST(DraftResampler, GrowingFromOnePixelRepeatsItAlongThatAxis) {
  std::mt19937 rng(5);
  const struct {
    int sw, sh, dw, dh;
  } cases[] = {{1, 1, 5, 7},  {1, 9, 4, 20},  {1, 9, 3, 5}, {13, 1, 30, 4},
               {13, 1, 6, 2}, {1, 2, 64, 64}, {2, 1, 64, 1}};
  for (const auto& c : cases) {
    const Picture src = test::randomPicture(rng, c.sw, c.sh);
    const Picture dst = test::randomPicture(rng, c.dw, c.dh);
    EXPECT_EQ(compare(dst, {0, 0, c.dw, c.dh}, src, {0, 0, c.sw, c.sh}), "");
    // Linear interpolation of source pixels stays within their channel range.
    TBitmap32 s, d;
    test::paint(s, src);
    s.SetResampler(std::make_shared<TDraftResampler>());
    d.SetSize(c.dw, c.dh);
    d.Draw(TRect{0, 0, c.dw, c.dh}, TRect{0, 0, c.sw, c.sh}, s);
    for (int ch = 0; ch < 4; ++ch) {
      int lo = 255, hi = 0;
      for (TColor32 px : src.pixels)
        lo = std::min(lo, channel(px, ch)), hi = std::max(hi, channel(px, ch));
      for (TColor32 px : test::pixelsOf(d).pixels) {
        EXPECT_GE(channel(px, ch), lo);
        EXPECT_LE(channel(px, ch), hi);
      }
    }
  }
}

// Parts of a destination drawn one after another with one resampler, as the
// display copy does: inside each part every pixel is the whole draw's, outside
// nothing changes. Parts start anywhere, and on blocks of eight columns.
TEST(DraftResampler, PartsOfTheDestinationMatchTheWholeDraw) {
  std::mt19937 rng(31);
  const struct {
    int sw, sh, dw, dh;
  } cases[] = {{150, 600, 225, 900},
               {150, 600, 300, 1200},
               {37, 23, 80, 41},
               {40, 30, 41, 90},
               {150, 600, 75, 300}};
  const draft::SimdLevel active = draft::activeSimdLevel();
  for (const auto& c : cases) {
    const Picture src = test::randomPicture(rng, c.sw, c.sh);
    const Picture before = test::randomPicture(rng, c.dw, c.dh);
    const TRect dr{0, 0, c.dw, c.dh}, sr{0, 0, c.sw, c.sh};
    const Picture want = referenceDraw(before, dr, src, sr);
    for (draft::SimdLevel level : levels()) {
      draft::setActiveSimdLevel(level);
      TBitmap32 s, d;
      test::paint(s, src);
      s.SetResampler(std::make_shared<TDraftResampler>());
      for (int part = 0; part < 30; ++part) {
        test::paint(d, before);
        std::uniform_int_distribution<int> x(0, c.dw - 1), y(0, c.dh - 1);
        int left = x(rng);
        if (part % 2 == 0) left -= left % 8;
        const int top = y(rng);
        const TRect clip{left, top, std::uniform_int_distribution<int>(left + 1, c.dw)(rng),
                         std::uniform_int_distribution<int>(top + 1, c.dh)(rng)};
        d.Draw(dr, sr, s, clip);
        const Picture got = test::pixelsOf(d);
        for (int py = 0; py < c.dh; ++py)
          for (int px = 0; px < c.dw; ++px) {
            const bool in =
                px >= clip.Left && px < clip.Right && py >= clip.Top && py < clip.Bottom;
            ASSERT_EQ(got.at(px, py), in ? want.at(px, py) : before.at(px, py))
                << nameOf(level) << " " << c.sw << "x" << c.sh << " onto " << c.dw << "x" << c.dh
                << ", part " << clip.Left << "," << clip.Top << "," << clip.Right << ","
                << clip.Bottom << ": pixel " << px << "," << py;
          }
      }
    }
  }
  draft::setActiveSimdLevel(active);
}

// The display's real sizes: skins of 150 × 600 and 240 × 600 at every display
// size from 20 % to 200 %.
class DisplaySizes : public ::testing::TestWithParam<int> {};

TEST_P(DisplaySizes, MatchReference) {
  const int percent = GetParam();
  std::mt19937 rng(static_cast<unsigned>(percent));
  for (const auto& [w, h] : {std::pair{150, 600}, std::pair{240, 600}}) {
    const int dw = w * percent / 100, dh = h * percent / 100;
    const Picture src = test::randomPicture(rng, w, h);
    const Picture dst = test::randomPicture(rng, dw, dh);
    EXPECT_EQ(compare(dst, {0, 0, dw, dh}, src, {0, 0, w, h}), "") << w << "x" << h;
  }
}

INSTANTIATE_TEST_SUITE_P(Percent, DisplaySizes, ::testing::Range(20, 201));

}  // namespace
}  // namespace tarnvale
