#pragma once

#include <string>

namespace tarnvale {

// The setup dialog's fields that the measurement reads and writes for every
// buffer, shown or hidden: calibration `Edit1`, decay `Edit2`, headroom
// `Label14`, DC offsets `Label39` and `Label40`. The dialog implements it;
// PlainMeasurementFields serves tests and the start-up before the dialog exists.
class MeasurementFields {
 public:
  virtual ~MeasurementFields() = default;
  virtual std::string calibrationText() const = 0;
  // false: the standard window colour; true: red (the text is not a number).
  virtual void setCalibrationFieldRed(bool red) = 0;
  virtual void setHeadroomText(const std::string& text) = 0;
  virtual std::string decayText() const = 0;
  virtual void setDecayFieldRed(bool red) = 0;
  virtual void setDcOffsetTexts(const std::string& left, const std::string& right) = 0;
};

struct PlainMeasurementFields final : MeasurementFields {
  std::string calibration = "0";
  bool calibrationRed = false;
  std::string headroom = "0";
  std::string decay = "4";
  bool decayRed = false;
  std::string dcOffsetLeft = "0";
  std::string dcOffsetRight = "0";

  std::string calibrationText() const override { return calibration; }
  void setCalibrationFieldRed(bool red) override { calibrationRed = red; }
  void setHeadroomText(const std::string& text) override { headroom = text; }
  std::string decayText() const override { return decay; }
  void setDecayFieldRed(bool red) override { decayRed = red; }
  void setDcOffsetTexts(const std::string& left, const std::string& right) override {
    dcOffsetLeft = left;
    dcOffsetRight = right;
  }
};

}  // namespace tarnvale
