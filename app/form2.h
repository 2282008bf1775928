#pragma once

#include <QDialog>

#include "meter/measurement_fields.h"

class QLabel;
class QLineEdit;

namespace tarnvale {

// The setup dialog as far as the meter needs it today: the calibration and
// decay fields the measurement reads for every buffer, and the headroom and
// DC offset labels it writes. Hidden for the whole run, shown modally by a
// right click on the meter.
class TForm2 final : public QDialog, public MeasurementFields {
 public:
  explicit TForm2(QWidget* parent = nullptr);

  std::string calibrationText() const override;
  void setCalibrationFieldRed(bool red) override;
  void setHeadroomText(const std::string& text) override;
  std::string decayText() const override;
  void setDecayFieldRed(bool red) override;
  void setDcOffsetTexts(const std::string& left, const std::string& right) override;

  QLineEdit* Edit1;
  QLineEdit* Edit2;
  QLabel* Label14;
  QLabel* Label39;
  QLabel* Label40;
};

}  // namespace tarnvale
