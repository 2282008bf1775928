#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "meter/ballistics.h"
#include "meter/buffer_analysis.h"
#include "meter/calibration.h"
#include "meter/measurement_fields.h"
#include "meter/position_table.h"
#include "settings/meter_settings.h"
#include "settings/ring_length.h"

namespace tarnvale {
namespace {

// Music-like stereo: correlated channels around -12 dBFS with a small DC offset.
std::vector<std::int16_t> realisticStereo(std::int32_t frames) {
  std::mt19937 rng(96000);
  std::normal_distribution<double> common(0.0, 6000.0), own(0.0, 1500.0);
  std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * 2);
  for (std::int32_t i = 0; i < frames; ++i) {
    const double c = common(rng);
    samples[2 * i] = static_cast<std::int16_t>(std::clamp(c + own(rng) + 14, -32768.0, 32767.0));
    samples[2 * i + 1] = static_cast<std::int16_t>(std::clamp(c + own(rng) - 9, -32768.0, 32767.0));
  }
  return samples;
}

void BM_AnalyseBuffer(benchmark::State& st) {
  const std::int32_t frameCount = bufferBytesFor(static_cast<std::int32_t>(st.range(0))) / 4;
  const std::vector<std::int16_t> samples = realisticStereo(frameCount);
  MeterSettings settings;
  settings.dcOffsetComp = true;
  settings.dcOffsetLeft = 14;
  settings.dcOffsetRight = 9;
  PlainMeasurementFields fields;
  bool pending = false;
  for (auto _ : st) {
    BufferLevels levels =
        analyseBuffer(samples.data(), frameCount, settings.channelMode, settings, pending, fields);
    benchmark::DoNotOptimize(levels);
  }
  st.SetItemsProcessed(st.iterations() * frameCount);
}
BENCHMARK(BM_AnalyseBuffer)->Arg(96000);

// Ticks 33 ms apart, as buffers arrive.
class BufferPaceClock final : public Clock {
 public:
  std::uint32_t tickCount() const override { return now_ += 33; }
  void sleep(std::uint32_t ms) override { now_ += ms; }

 private:
  mutable std::uint32_t now_ = 0;
};

void BM_UpdateMeter(benchmark::State& st) {
  MeterSettings settings;
  settings.avgRingLength = static_cast<std::int32_t>(st.range(0));
  PositionTable table{};
  buildPositionTable(table);
  PlainMeasurementFields fields;
  const Calibration calibration = readCalibration(fields, ".");
  BufferPaceClock clock;
  const MeterContext context{settings, table, fields, clock};

  std::mt19937 rng(1000);
  std::uniform_int_distribution<std::int32_t> peak(0, 32768), phase(-179, 179);
  std::vector<BufferLevels> buffers(256);
  for (BufferLevels& b : buffers) {
    b.bufferPeakLeft = peak(rng);
    b.bufferPeakRight = peak(rng);
    b.phaseAngle = phase(rng);
  }
  MeterState state;
  std::size_t next = 0;
  for (auto _ : st) {
    MeterReadings readings = updateMeter(buffers[next], calibration.calibrationDb,
                                         calibration.calibrationDivisor, state, context);
    benchmark::DoNotOptimize(readings);
    next = (next + 1) % buffers.size();
  }
}
BENCHMARK(BM_UpdateMeter)->Arg(1000);

}  // namespace
}  // namespace tarnvale
