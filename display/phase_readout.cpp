#include "display/phase_readout.h"

#include <cstdlib>

#include "display/clipped_drawing.h"
#include "display/readouts.h"

namespace tarnvale {

std::string phaseText(std::int32_t phaseAverage) {
  return std::to_string(phaseAverage) + "\u00BA";
}

void drawPhaseText(const DisplayContext& context, std::int32_t phaseAverage) {
  const MeterSettings& settings = context.settings;
  if (!settings.showPhase || readoutModeOf(settings.readoutMode) == ReadoutMode::None ||
      channelModeOf(settings.channelMode) != ChannelMode::Stereo)
    return;
  TBitmap32& bitmap = context.workBitmap;
  const std::string text = phaseText(phaseAverage);
  bitmap.Font().Assign(readoutFont(kPhaseFontSize));
  if (settings.vertical) {
    const std::int64_t w = bitmap.TextWidth(text);
    const std::int64_t x = bitmap.Width() / 2 - w / 2;
    const std::int64_t y = std::int64_t{context.displayState.imageHeight} - 24;
    fillArea(bitmap, x - 6, y, x + w + 6, y + 20, kReadoutBoxColour);
    writeText(bitmap, x, y, text);
  } else {
    const std::int64_t y = bitmap.Height() / 2;
    fillArea(bitmap, 14, y, 54, y + 20, kReadoutBoxColour);
    writeText(bitmap, 20, y, text);
  }
}

void drawPhaseBar(const DisplayContext& context, std::int32_t phaseAverage) {
  const MeterSettings& settings = context.settings;
  if (!settings.showPhase || channelModeOf(settings.channelMode) != ChannelMode::Stereo) return;
  TBitmap32& bitmap = context.workBitmap;
  const std::int64_t a = std::llabs(std::int64_t{phaseAverage});
  const std::int64_t centre = bitmap.Width() / 2;
  const std::int64_t imageHeight = context.displayState.imageHeight;
  // The vertical layout shows the same scale at half the length.
  const bool vertical = settings.vertical;
  const std::int64_t top = vertical ? imageHeight - 52 : imageHeight - 16;
  const std::int64_t half = vertical ? 47 : 94;
  const std::int64_t marker = vertical ? centre + 45 - a / 2 : centre + 90 - a;
  fillArea(bitmap, centre - half, top, centre, top + 8, kOutOfPhaseColour);
  fillArea(bitmap, centre, top, centre + half, top + 8, kInPhaseColour);
  fillArea(bitmap, marker - 2, top, marker + 2, top + 8, kPhaseMarkerColour);
}

}  // namespace tarnvale
