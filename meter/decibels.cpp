#include "meter/decibels.h"

#include <cmath>
#include <limits>

#include "meter/rounding.h"

namespace tarnvale {

double levelDb(std::int32_t amplitude, double calibrationDb) {
  if (amplitude <= 0) return kSilenceDb;
  return 20.0 * std::log10(amplitude / kFullScaleAmplitude) - calibrationDb;
}

std::int32_t amplitudeFromDb(double db) {
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  const double amplitude = roundHalfEven(kFullScaleAmplitude * std::pow(10.0, db / 20.0));
  if (!(amplitude < kMax)) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(amplitude);
}

}  // namespace tarnvale
