// The per-buffer copy of the display and the bitmap's fills and copies,
// each beside a memcpy of comparable size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "raster/bitmap32.h"
#include "raster/draft_resampler.h"

namespace tarnvale {
namespace {

// Skin and display sizes by display percentage: 150 % of the narrow skin,
// 200 % and 50 % of the wide one, 100 % of the wide one.
struct Sizes {
  int sw, sh, dw, dh;
};

Sizes sizesFor(int percent) {
  const int sw = percent == 150 ? 150 : 240, sh = 600;
  return {sw, sh, sw * percent / 100, sh * percent / 100};
}

void randomFill(TBitmap32& b) {
  std::mt19937 rng(1);
  for (int i = 0; i < b.Width() * b.Height(); ++i) b.Bits()[i] = rng();
}

void BM_StretchDraw(benchmark::State& state) {
  const Sizes s = sizesFor(static_cast<int>(state.range(0)));
  TBitmap32 src, dst;
  src.SetSize(s.sw, s.sh);
  randomFill(src);
  src.SetResampler(std::make_shared<TDraftResampler>());
  dst.SetSize(s.dw, s.dh);
  for (auto _ : state) {
    dst.Draw(TRect{0, 0, s.dw, s.dh}, TRect{0, 0, s.sw, s.sh}, src);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_StretchDraw)->Arg(200)->Arg(150)->Arg(50);

// As many bytes as the larger of the two bitmaps holds.
void BM_Memcpy(benchmark::State& state) {
  const Sizes s = sizesFor(static_cast<int>(state.range(0)));
  const std::size_t bytes = 4 * static_cast<std::size_t>(std::max(s.sw * s.sh, s.dw * s.dh));
  std::vector<char> from(bytes, 1), to(bytes, 2);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Memcpy)->Arg(200)->Arg(150)->Arg(50)->Arg(100);

void BM_FillRect(benchmark::State& state) {
  TBitmap32 b;
  b.SetSize(240, 600);
  TColor32 colour = 0;
  for (auto _ : state) {
    b.FillRect(0, 0, 240, 600, ++colour);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FillRect);

void BM_DrawAt(benchmark::State& state) {
  TBitmap32 src, dst;
  src.SetSize(240, 600);
  randomFill(src);
  dst.SetSize(240, 600);
  for (auto _ : state) {
    dst.Draw(0, 0, src);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DrawAt);

}  // namespace
}  // namespace tarnvale
