#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "bench/allocation_counter.h"
#include "display/colour_table.h"
#include "display/display_copy.h"
#include "display/display_state.h"
#include "meter/measurement_fields.h"
#include "meter/meter_state.h"
#include "meter/position_table.h"
#include "platform/clock.h"
#include "platform/locale.h"
#include "raster/bitmap32.h"
#include "raster/draft_resampler.h"
#include "settings/meter_settings.h"
#include "settings/ring_length.h"
#include "update/buffer_cycle.h"

namespace tarnvale {
namespace {

// Music-like stereo around -12 dBFS, a new stretch for every buffer.
std::vector<std::int16_t> music(std::int32_t frames, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> common(0.0, 6000.0), own(0.0, 1500.0);
  std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * 2);
  for (std::int32_t i = 0; i < frames; ++i) {
    const double c = common(rng);
    samples[2 * i] = static_cast<std::int16_t>(std::clamp(c + own(rng), -32768.0, 32767.0));
    samples[2 * i + 1] = static_cast<std::int16_t>(std::clamp(c + own(rng), -32768.0, 32767.0));
  }
  return samples;
}

// Moved on by hand, one buffer (33 ms) at a time.
class StepClock final : public Clock {
 public:
  std::uint32_t tickCount() const override { return now; }
  void sleep(std::uint32_t ms) override { now += ms; }
  std::uint32_t now = 100000;
};

// One 48 kHz buffer through calibration, analysis, clip latch, ballistics and
// the display update on a 150 × 600 skin with stereo bars, copied to a
// display of range(0) percent; with `text`, the peak readouts and the phase
// display are on. With `copied`, the copy to the display goes through
// DisplayCopy, as in the meter window, rather than the whole Draw.
void runBufferCycle(benchmark::State& st, bool text, bool copied = false) {
  const auto percent = static_cast<std::int32_t>(st.range(0));
  MeterSettings settings;
  settings.sampleRate = 48000;
  settings.sizePercent = percent;
  settings.readoutMode = text ? 1 : 0;
  settings.showPhase = text;
  bool pending = false;
  PositionTable table{};
  buildPositionTable(table);
  PlainMeasurementFields fields;
  StepClock clock;
  FixedLocale locale{"."};
  ColourTable colours{};
  buildColourTable(colours, settings);
  DisplayState displayState{150, 600, false};

  TBitmap32 work, display;
  work.SetSize(150, 600);
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 150; ++x) work.ScanLine(y)[x] = 0x00101820u + static_cast<TColor32>(y / 20);
  auto resampler = std::make_shared<TDraftResampler>();
  display.SetResampler(resampler);
  work.SetResampler(resampler);
  display.SetSize(150 * percent / 100, 600 * percent / 100);

  const std::int32_t frameCount = bufferBytesFor(settings.sampleRate) / 4;
  std::vector<std::vector<std::int16_t>> buffers;
  for (std::uint32_t k = 0; k < 16; ++k) buffers.push_back(music(frameCount, 96000 + k));
  MeterState state;
  state.lastReadoutTick = clock.now;
  DisplayCopy displayCopy;
  const BufferCycleContext context{settings,
                                   pending,
                                   table,
                                   fields,
                                   clock,
                                   locale,
                                   work,
                                   display,
                                   colours,
                                   displayState,
                                   copied ? &displayCopy : nullptr};

  std::size_t next = 0;
  const std::size_t allocationsBefore = allocationCount();
  for (auto _ : st) {
    MeterReadings readings = processBuffer(buffers[next].data(), frameCount, state, context);
    benchmark::DoNotOptimize(readings);
    benchmark::ClobberMemory();
    clock.now += 33;
    next = (next + 1) % buffers.size();
  }
  const double allocations = static_cast<double>(allocationCount() - allocationsBefore);
  st.counters["allocs_per_buffer"] =
      benchmark::Counter(allocations / static_cast<double>(st.iterations()));
  st.SetItemsProcessed(st.iterations() * frameCount);
}
void BM_BufferCycle(benchmark::State& st) {
  runBufferCycle(st, true);
}
BENCHMARK(BM_BufferCycle)->Arg(100)->Arg(200)->Unit(benchmark::kMicrosecond);

// The same without readouts and phase display: what the text costs, and the
// allocations outside the text rendering.
void BM_BufferCycleWithoutText(benchmark::State& st) {
  runBufferCycle(st, false);
}
BENCHMARK(BM_BufferCycleWithoutText)->Arg(100)->Arg(200)->Unit(benchmark::kMicrosecond);

// As the meter window runs it: readouts and phase on, only what changed
// copied to the display.
void BM_BufferCycleCopied(benchmark::State& st) {
  runBufferCycle(st, true, true);
}
BENCHMARK(BM_BufferCycleCopied)->Arg(100)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tarnvale
