#pragma once

#include <cstdint>

namespace tarnvale {

// Level readout of silence.
inline constexpr double kSilenceDb = -99.0;
// Magnitude of digital full scale (that of the sample -32768).
inline constexpr double kFullScaleAmplitude = 32768.0;

// dB relative to the meter's calibrated full scale; -99.0 for silence (and for
// the negative amplitudes that never occur, rather than NaN).
double levelDb(std::int32_t amplitude, double calibrationDb);

// 32768 x 10^(db/20) rounded half to even. Too large to hold, and NaN, give
// INT32_MAX, which no sample reaches; very low levels give 0.
std::int32_t amplitudeFromDb(double db);

}  // namespace tarnvale
