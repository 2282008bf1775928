#include "raster/font.h"

#include <cmath>

namespace tarnvale {

namespace {
// Text is laid out for the standard logical resolution, whatever the screen's,
// so the display looks the same on every machine.
constexpr double kLogicalDpi = 96.0;
constexpr double kPointsPerInch = 72.0;
}  // namespace

int emPixels(int points) {
  const long pixels = std::lround(points * kLogicalDpi / kPointsPerInch);
  return pixels < 1 ? 1 : static_cast<int>(pixels);
}

}  // namespace tarnvale
