#pragma once

#include <string_view>

#include "meter/measurement_fields.h"

namespace tarnvale {

// Follows the headroom value in the setup dialog's Label14.
inline constexpr std::string_view kHeadroomUnit = " dB";

struct Calibration {
  double calibrationDb = 0.0;        // meter full scale, dB relative to digital full scale
  double calibrationDivisor = 10.0;  // amplitude units per position-table index, at least 1
};

// Reads the calibration field for this buffer: the field goes back to normal,
// the headroom label shows the negated value; a text that is not a number
// turns the field red and counts as 0, leaving the label as it was.
Calibration readCalibration(MeasurementFields& fields, std::string_view decimalSeparator);

}  // namespace tarnvale
