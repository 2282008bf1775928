#include "display/bars.h"

#include "display/clipped_drawing.h"

namespace tarnvale {
namespace {

constexpr std::int32_t kScaleSpan = kBlockCount * kBlockPitch;

// Lit pixels of a block along the bar: a gap of one after each with `blocks`.
std::int64_t litExtent(const MeterSettings& settings) {
  return settings.blocks ? 7 : 8;
}

TColor32 clipColour(bool clipLatched) {
  return clipLatched ? kClipLitColour : kUnlitColour;
}

// Fills element `index` of a bar unless it was last filled with `colour` at
// the same place (`same`), and notes the colour.
void fillElement(TBitmap32& bitmap, DrawnBar* drawn, bool same, std::size_t index, std::int64_t x1,
                 std::int64_t y1, std::int64_t x2, std::int64_t y2, TColor32 colour) {
  if (drawn == nullptr) {
    fillArea(bitmap, x1, y1, x2, y2, colour);
    return;
  }
  if (!same || drawn->colours[index] != colour) fillArea(bitmap, x1, y1, x2, y2, colour);
  drawn->colours[index] = colour;
}

// Whether `drawn` holds the colours of a bar at `place`; from now on it will.
bool samePlace(DrawnBar* drawn, const BarPlace& place) {
  if (drawn == nullptr) return false;
  const bool same = drawn->known && drawn->place == place;
  drawn->place = place;
  drawn->known = true;
  return same;
}

}  // namespace

TColor32 blockColour(const ColourTable& table, const MeterSettings& settings, std::int32_t block,
                     std::int32_t position, std::int32_t minimum, std::int32_t holdPosition,
                     std::int32_t averagePosition) {
  const bool lit = kBlockPitch * block <= position && position >= minimum;
  TColor32 colour = lit ? zoneColour(table, settings, block) : kUnlitColour;
  // Index 0 means no marker, so block 0 never shows one.
  const std::int32_t holdIndex = holdPosition / kBlockPitch;
  if (holdIndex != 0 && block == holdIndex)
    colour = settings.colouredPeaks ? static_cast<TColor32>(settings.peakColor)
                                    : zoneColour(table, settings, block);
  const std::int32_t averageIndex = averagePosition / kBlockPitch;
  if (settings.showAverage && averageIndex != 0 && block == averageIndex) colour = kAverageColour;
  return colour;
}

void drawVerticalBar(const DisplayContext& context, std::int32_t position, std::int32_t x,
                     bool clipLatched, std::int32_t holdPosition, std::int32_t averagePosition,
                     DrawnBar* drawn) {
  TBitmap32& bitmap = context.workBitmap;
  const MeterSettings& settings = context.settings;
  const bool same = samePlace(
      drawn, {true, x, settings.barWidth, settings.blocks, bitmap.Width(), bitmap.Height()});
  const std::int64_t height = bitmap.Height();
  const std::int64_t bottom = height - (height - kScaleSpan) / 2;
  const std::int64_t h = litExtent(settings);
  const std::int64_t left = x;
  const std::int64_t right = left + settings.barWidth;
  for (std::int32_t i = 0; i < kBlockCount; ++i) {
    const std::int64_t top = bottom - std::int64_t{kBlockPitch} * i;
    fillElement(bitmap, drawn, same, static_cast<std::size_t>(i), left, top, right, top + h,
                blockColour(context.colourTable, settings, i, position, kVerticalMinimum,
                            holdPosition, averagePosition));
  }
  fillElement(bitmap, drawn, same, kBlockCount, left, bottom - 526 - h, right, bottom - 526,
              clipColour(clipLatched));
}

void drawHorizontalBar(const DisplayContext& context, std::int32_t position, std::int32_t y,
                       bool clipLatched, std::int32_t holdPosition, std::int32_t averagePosition,
                       DrawnBar* drawn) {
  TBitmap32& bitmap = context.workBitmap;
  const MeterSettings& settings = context.settings;
  const bool same = samePlace(
      drawn, {false, y, settings.barWidth, settings.blocks, bitmap.Width(), bitmap.Height()});
  const std::int64_t width = bitmap.Width();
  const std::int64_t left = (width - kScaleSpan) / 2;
  const std::int64_t w = litExtent(settings);
  const std::int64_t bottom = y;
  const std::int64_t top = bottom - settings.barWidth;
  for (std::int32_t i = 0; i < kBlockCount; ++i) {
    const std::int64_t start = left + std::int64_t{kBlockPitch} * i;
    fillElement(bitmap, drawn, same, static_cast<std::size_t>(i), start, top, start + w, bottom,
                blockColour(context.colourTable, settings, i, position, kHorizontalMinimum,
                            holdPosition, averagePosition));
  }
  // Always 8 wide, gaps or not.
  fillElement(bitmap, drawn, same, kBlockCount, left + 528, top, left + 536, bottom,
              clipColour(clipLatched));
}

}  // namespace tarnvale
