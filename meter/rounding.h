#pragma once

#include <cmath>

namespace tarnvale {

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4), whatever
// the floating-point rounding mode. Infinities and NaN pass through.
inline double roundHalfEven(double x) {
  if (std::fabs(x - std::trunc(x)) == 0.5) return 2.0 * std::round(x / 2.0);
  return std::round(x);
}

}  // namespace tarnvale
