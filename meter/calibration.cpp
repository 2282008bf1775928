#include "meter/calibration.h"

#include <cmath>
#include <optional>
#include <string>

#include "settings/number_text.h"

namespace tarnvale {

Calibration readCalibration(MeasurementFields& fields, std::string_view decimalSeparator) {
  fields.setCalibrationFieldRed(false);
  Calibration result;
  const std::optional<double> parsed = parseReal(fields.calibrationText(), decimalSeparator);
  if (parsed) {
    result.calibrationDb = *parsed;
    // 0.0 - x rather than -x: a calibration of 0 shows "0 dB", never "-0 dB".
    std::string headroom = formatGeneral(0.0 - *parsed, decimalSeparator);
    headroom += kHeadroomUnit;
    fields.setHeadroomText(headroom);
  } else {
    fields.setCalibrationFieldRed(true);
    result.calibrationDb = 0.0;
  }
  const double divisor = 10.0 * std::pow(10.0, result.calibrationDb / 20.0);
  // A huge calibration makes this infinite, which positionOf maps to index 0;
  // NaN cannot arise from a parsed number but would fall back to 1 as well.
  result.calibrationDivisor = divisor >= 1.0 ? divisor : 1.0;
  return result;
}

}  // namespace tarnvale
