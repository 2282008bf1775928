#include "display/clipped_drawing.h"

#include <algorithm>
#include <climits>

namespace tarnvale {

void fillArea(TBitmap32& bitmap, std::int64_t left, std::int64_t top, std::int64_t right,
              std::int64_t bottom, TColor32 colour) {
  const auto x = [&](std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, 0, bitmap.Width()));
  };
  const auto y = [&](std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, 0, bitmap.Height()));
  };
  bitmap.FillRect(x(left), y(top), x(right), y(bottom), colour);
}

void writeText(TBitmap32& bitmap, std::int64_t x, std::int64_t y, const std::string& text) {
  // Far enough out that no text reaches the bitmap, near enough that the
  // renderer's own sums (baseline, advance) stay within int.
  constexpr std::int64_t kFar = std::int64_t{1} << 29;
  const auto limit = [](std::int64_t v, std::int64_t side) {
    const std::int64_t high = std::min(side + kFar, std::int64_t{INT_MAX} - kFar);
    return static_cast<int>(std::clamp<std::int64_t>(v, -kFar, high));
  };
  bitmap.Textout(limit(x, bitmap.Width()), limit(y, bitmap.Height()), text);
}

}  // namespace tarnvale
