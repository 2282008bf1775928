#include "display/colour_table.h"

#include <algorithm>

namespace tarnvale {
namespace {

constexpr TColor32 kRgbMask = 0x00FFFFFF;
constexpr std::int64_t kLastEntry = static_cast<std::int64_t>(kColourTableSize) - 1;

void writeRgb(TColor32& entry, TColor32 rgb) {
  entry = (entry & ~kRgbMask) | (rgb & kRgbMask);
}

// The indices first..last of a pass that exist in the table. Bounds are 64-bit
// so that zone boundaries from a hand-edited file cannot overflow.
struct IndexRange {
  std::int64_t first;
  std::int64_t last;
};
IndexRange inTable(std::int64_t first, std::int64_t last) {
  return {std::max<std::int64_t>(first, 0), std::min(last, kLastEntry)};
}

void fillFlat(ColourTable& table, std::int64_t first, std::int64_t last, TColor32 colour) {
  const IndexRange r = inTable(first, last);
  for (std::int64_t j = r.first; j <= r.last; ++j)
    writeRgb(table[static_cast<std::size_t>(j)], colour);
}

// Channel of `colour` at bit `shift`.
double channel(TColor32 colour, int shift) {
  return static_cast<double>((colour >> shift) & 0xFF);
}

// From `from` at index `start` towards `to` over `steps` steps, each channel
// truncated toward zero. j - start never exceeds steps, so every value lies
// between the two ends.
void fillRamp(ColourTable& table, std::int64_t start, std::int64_t steps, TColor32 from,
              TColor32 to) {
  const std::int64_t d = std::max<std::int64_t>(steps, 1);
  constexpr int kShifts[3] = {16, 8, 0};
  double step[3];
  for (int c = 0; c < 3; ++c)
    step[c] = (channel(to, kShifts[c]) - channel(from, kShifts[c])) / static_cast<double>(d);
  const IndexRange r = inTable(start, start + steps);
  for (std::int64_t j = r.first; j <= r.last; ++j) {
    TColor32 rgb = 0;
    for (int c = 0; c < 3; ++c) {
      const double value = channel(from, kShifts[c]) + static_cast<double>(j - start) * step[c];
      rgb |= static_cast<TColor32>(static_cast<int>(value) & 0xFF) << kShifts[c];
    }
    writeRgb(table[static_cast<std::size_t>(j)], rgb);
  }
}

}  // namespace

void buildColourTable(ColourTable& table, const MeterSettings& settings) {
  const auto base = static_cast<TColor32>(settings.baseColor);
  const auto mid = static_cast<TColor32>(settings.midColor);
  const auto top = static_cast<TColor32>(settings.topColor);

  std::int64_t a1 = std::int64_t{settings.amberStart} - 10;
  std::int64_t a2 = std::int64_t{settings.amberStart} + 10;
  std::int64_t r1 = std::int64_t{settings.redStart} - 10;
  const std::int64_t r2 = std::int64_t{settings.redStart} + 10;
  // A low amber start keeps a full-length first ramp from block 1.
  if (a1 < 1) {
    a1 = 1;
    a2 = 21;
  }
  if (r1 < a2) r1 = a2 + 1;

  fillFlat(table, 0, a1, base);
  fillRamp(table, a1, a2 - a1, base, mid);
  fillFlat(table, a2, r1, mid);
  fillRamp(table, r1, r2 - r1, mid, top);
  fillFlat(table, r2, kBlockCount - 1, top);
}

TColor32 zoneColour(const ColourTable& table, const MeterSettings& settings, std::int32_t block) {
  if (settings.blend) return table[static_cast<std::size_t>(block)];
  // In this order: with amberStart above redStart a block below both is top.
  TColor32 colour = static_cast<TColor32>(settings.midColor);
  if (block < settings.amberStart) colour = static_cast<TColor32>(settings.baseColor);
  if (block > settings.redStart) colour = static_cast<TColor32>(settings.topColor);
  return colour;
}

}  // namespace tarnvale
