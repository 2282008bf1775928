#include "meter/buffer_analysis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>

#include "meter/decibels.h"
#include "meter/peak_scan.h"

namespace tarnvale {

namespace {

// The buffer's last frames are left out of the scan.
constexpr std::int32_t kUnexaminedFrames = 3;

// Correction shifts every magnitude by the same offset, so the corrected peak
// is the raw one shifted; negative results never become peaks. A hand-edited
// offset far below zero would push it past 32 bits: it stops at INT32_MAX.
std::int32_t correctedPeak(std::int32_t rawPeak, std::int32_t offset) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      std::int64_t{rawPeak} - std::int64_t{offset}, 0, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t phaseAngleOf(std::int32_t midPeak, std::int32_t sidePeak, std::int32_t peakLeft,
                          std::int32_t peakRight) {
  if (midPeak == 0) return 0;
  const double degrees =
      std::atan(static_cast<double>(sidePeak) / midPeak) * (180.0 / std::numbers::pi) * 2.0;
  const auto angle = static_cast<std::int32_t>(degrees);
  return peakLeft > peakRight ? -angle : angle;
}

}  // namespace

BufferLevels analyseBuffer(const std::int16_t* samples, std::int32_t frameCount,
                           std::int32_t channelMode, MeterSettings& settings,
                           bool& dcCapturePending, MeasurementFields& fields) {
  const std::int32_t examined = frameCount > kUnexaminedFrames ? frameCount - kUnexaminedFrames : 0;
  const PeakScan scan =
      scanPeaks(samples, examined, channelModeOf(channelMode) == ChannelMode::MonoMix);

  BufferLevels levels;
  levels.midPeak = scan.midPeak;
  levels.sidePeak = scan.sidePeak;
  levels.magnitudeSumLeft = scan.sumLeft;
  levels.magnitudeSumRight = scan.sumRight;
  // With no frame examined the peaks stay 0 whatever the offsets.
  if (settings.dcOffsetComp && !dcCapturePending && examined > 0) {
    levels.bufferPeakLeft = correctedPeak(scan.maxLeft, settings.dcOffsetLeft);
    levels.bufferPeakRight = correctedPeak(scan.maxRight, settings.dcOffsetRight);
  } else {
    levels.bufferPeakLeft = scan.maxLeft;
    levels.bufferPeakRight = scan.maxRight;
  }

  if (dcCapturePending) {
    // The mean magnitude over the whole buffer, unexamined frames included
    // (at most 32768). A buffer without frames measures 0 rather than
    // dividing by zero.
    settings.dcOffsetLeft =
        frameCount > 0 ? static_cast<std::int32_t>(levels.magnitudeSumLeft / frameCount) : 0;
    settings.dcOffsetRight =
        frameCount > 0 ? static_cast<std::int32_t>(levels.magnitudeSumRight / frameCount) : 0;
    dcCapturePending = false;
    fields.setDcOffsetTexts(std::to_string(settings.dcOffsetLeft),
                            std::to_string(settings.dcOffsetRight));
  }

  levels.phaseAngle =
      phaseAngleOf(levels.midPeak, levels.sidePeak, levels.bufferPeakLeft, levels.bufferPeakRight);
  return levels;
}

void latchClips(const BufferLevels& levels, double clipLevelDb, MeterState& state) {
  const std::int32_t clipAmplitude = amplitudeFromDb(clipLevelDb);
  if (levels.bufferPeakLeft >= clipAmplitude) state.clipLatchedLeft = true;
  if (levels.bufferPeakRight >= clipAmplitude) state.clipLatchedRight = true;
}

}  // namespace tarnvale
