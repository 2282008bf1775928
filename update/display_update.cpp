#include "update/display_update.h"

#include <algorithm>
#include <limits>

#include "display/bars.h"
#include "display/phase_readout.h"
#include "display/readouts.h"
#include "meter/readout_text.h"

namespace tarnvale {
namespace {

// One channel's drawing set at its cross coordinate.
struct BarValues {
  std::int32_t position;
  bool clipLatched;
  std::int32_t holdPosition;
  std::int32_t averagePosition;
};

BarValues leftSet(const MeterState& state, const MeterReadings& readings) {
  return {state.peakL, state.clipLatchedLeft, state.peakholdL, readings.avgPositionLeft};
}
BarValues rightSet(const MeterState& state, const MeterReadings& readings) {
  return {state.peakR, state.clipLatchedRight, state.peakholdR, readings.avgPositionRight};
}

// Offsets from the settings file can take a sum past 32 bits; a coordinate
// held at the edge of the range still lies outside any bitmap.
std::int32_t crossCoordinate(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

void drawBar(const DisplayContext& display, const BarValues& bar, std::int64_t cross,
             DrawnBar* drawn) {
  if (display.settings.vertical)
    drawVerticalBar(display, bar.position, crossCoordinate(cross), bar.clipLatched,
                    bar.holdPosition, bar.averagePosition, drawn);
  else
    drawHorizontalBar(display, bar.position, crossCoordinate(cross), bar.clipLatched,
                      bar.holdPosition, bar.averagePosition, drawn);
}

void drawBars(const MeterReadings& readings, const MeterState& state, const DisplayContext& display,
              DrawnBars* drawn) {
  DrawnBar* first = drawn != nullptr ? &drawn->bars[0] : nullptr;
  DrawnBar* second = drawn != nullptr ? &drawn->bars[1] : nullptr;
  const MeterSettings& settings = display.settings;
  const bool vertical = settings.vertical;
  const std::int64_t half =
      vertical ? display.workBitmap.Width() / 2 : display.workBitmap.Height() / 2;
  const std::int64_t offsetLeft = settings.offsetLeft;
  const std::int64_t offsetRight = settings.offsetRight;
  const std::int64_t single = half + (vertical ? -20 : 14) + offsetLeft;
  switch (channelModeOf(settings.channelMode)) {
    case ChannelMode::Stereo:
      drawBar(display, leftSet(state, readings), half + (vertical ? -38 : -4) + offsetLeft, first);
      drawBar(display, rightSet(state, readings),
              half + (vertical ? 20 : 40) + offsetLeft + offsetRight, second);
      break;
    case ChannelMode::MonoLeft:
    case ChannelMode::MonoMix:
      drawBar(display, leftSet(state, readings), single, first);
      break;
    case ChannelMode::MonoRight:
      drawBar(display, rightSet(state, readings), single, first);
      break;
    case ChannelMode::Unknown:
      break;
  }
}

void drawReadouts(double left, double right, const DisplayUpdateContext& context) {
  drawReadoutTexts(context.display, readoutText(left, context.decimalSeparator),
                   readoutText(right, context.decimalSeparator));
}

}  // namespace

void updateDisplay(const MeterReadings& readings, MeterState& state,
                   const DisplayUpdateContext& context) {
  const DisplayContext& display = context.display;
  const MeterSettings& settings = display.settings;
  TBitmap32& work = display.workBitmap;

  DrawnBars* drawn = context.drawnBars;
  if (drawn != nullptr && drawn->changeCount != work.ChangeCount()) {
    // Written by something else since (a skin, the label): every block again.
    drawn->bars[0].known = drawn->bars[1].known = false;
  }
  drawBars(readings, state, display, drawn);
  const std::uint64_t afterBars = work.ChangeCount();
  const ReadoutMode readout = readoutModeOf(settings.readoutMode);
  if (readout == ReadoutMode::HeldPeaks)
    drawReadouts(state.heldPeakDbLeft, state.heldPeakDbRight, context);
  if (settings.showPhase) drawPhaseBar(display, readings.phaseAverage);

  // Unsigned difference: right across the wrap of the tick counter.
  const std::uint32_t now = context.clock.tickCount();
  if (now - state.lastReadoutTick > kSlowUpdateMs) {
    if (readout == ReadoutMode::Average)
      drawReadouts(readings.avgDbLeft, readings.avgDbRight, context);
    if (settings.showPhase) drawPhaseText(display, readings.phaseAverage);
    state.lastReadoutTick = now;
  }

  if (drawn != nullptr) {
    // What was drawn after the bars may lie over them: then trust nothing.
    if (work.ChangeCount() != afterBars) drawn->bars[0].known = drawn->bars[1].known = false;
    drawn->changeCount = work.ChangeCount();
  }
  const bool stretch = settings.sizePercent != 100;
  if (context.displayCopy != nullptr)
    context.displayCopy->copy(work, context.displayBitmap, stretch);
  else
    drawWholeWork(work, context.displayBitmap, stretch);
}

}  // namespace tarnvale
