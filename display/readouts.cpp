#include "display/readouts.h"

#include "display/clipped_drawing.h"

namespace tarnvale {

namespace {
constexpr int kBoxHeight = 20;
}  // namespace

TFont readoutFont(int size) {
  TFont font;
  font.Name = "Arial";
  font.Size = size;
  font.Style = TFontStyles{TFontStyle::fsBold};
  font.Color = kReadoutTextColour;
  return font;
}

void drawReadoutTexts(const DisplayContext& context, const std::string& textLeft,
                      const std::string& textRight) {
  TBitmap32& bitmap = context.workBitmap;
  const MeterSettings& settings = context.settings;
  bitmap.Font().Assign(readoutFont(kReadoutFontSize));
  const std::int64_t halfWidth = bitmap.Width() / 2;
  const std::int64_t halfHeight = bitmap.Height() / 2;
  const ChannelMode mode = channelModeOf(settings.channelMode);
  const bool stereo = mode == ChannelMode::Stereo;
  // The one text of a single bar; none for an unknown mode.
  const std::string* single = mode == ChannelMode::MonoLeft || mode == ChannelMode::MonoMix
                                  ? &textLeft
                              : mode == ChannelMode::MonoRight ? &textRight
                                                               : nullptr;

  if (settings.vertical) {
    const std::int64_t y = std::int64_t{context.displayState.imageHeight} - 42;
    if (stereo) {
      fillArea(bitmap, halfWidth - 54, y, halfWidth + 54, y + kBoxHeight, kReadoutBoxColour);
      writeText(bitmap, halfWidth - 48, y, textLeft);
      // Centred on the right bar; a wide text may run past the box.
      const std::int64_t w = bitmap.TextWidth(textRight);
      writeText(bitmap, halfWidth - w / 2 + 20, y, textRight);
    } else {
      fillArea(bitmap, halfWidth - 30, y, halfWidth + 30, y + kBoxHeight, kReadoutBoxColour);
      if (single) writeText(bitmap, halfWidth - 24, y, *single);
    }
  } else if (stereo) {
    const std::int64_t y1 = halfHeight - 23;
    const std::int64_t y2 = halfHeight + 21;
    fillArea(bitmap, 2, y1, 50, y1 + kBoxHeight, kReadoutBoxColour);
    writeText(bitmap, 8, y1, textLeft);
    fillArea(bitmap, 2, y2, 50, y2 + kBoxHeight, kReadoutBoxColour);
    writeText(bitmap, 8, y2, textRight);
  } else {
    const std::int64_t y = halfHeight - 6;
    fillArea(bitmap, 0, y, 48, y + kBoxHeight, kReadoutBoxColour);
    if (single) writeText(bitmap, 6, y, *single);
  }
}

}  // namespace tarnvale
