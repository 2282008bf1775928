#pragma once

#include <QDialog>
#include <QFrame>
#include <QSpinBox>
#include <cstdint>
#include <functional>
#include <string>

#include "meter/measurement_fields.h"
#include "platform/locale.h"
#include "platform/shell.h"
#include "platform/ui.h"
#include "settings/meter_settings.h"
#include "setup/setup_host.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tarnvale {

// A raised colour panel that runs `onClick` when clicked; holds a 0x00BBGGRR colour.
class ColourPanel final : public QFrame {
 public:
  explicit ColourPanel(QWidget* parent);
  std::int32_t colour() const { return colour_; }
  void setColour(std::int32_t colour);
  std::function<void()> onClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::int32_t colour_ = 0;
};

// An up-down with its field. `onArrow` runs only when the arrows (or the
// arrow keys) step it; typing into the field moves the position silently.
class UpDown final : public QSpinBox {
 public:
  explicit UpDown(QWidget* parent);
  void stepBy(int steps) override;
  QLineEdit* field() const { return lineEdit(); }
  std::function<void()> onArrow;
};

// The setup dialog. Created once, hidden between uses; the measurement reads
// and writes its calibration, decay, headroom and DC offset fields for every
// buffer through MeasurementFields.
class TForm2 final : public QDialog, public MeasurementFields {
 public:
  struct Services {
    MeterSettings& settings;
    SetupHost& host;
    Ui& ui;
    const Locale& locale;
    Shell& shell;
    std::string dataFolder;  // ends with "/"
  };

  explicit TForm2(Services services, QWidget* parent = nullptr);

  // Fills the dialog, shows it modally, applies OK or the other close, and
  // refreshes the meter.
  void runSetupDialog();

  // MeasurementFields; they touch the widgets only when a value changes.
  std::string calibrationText() const override;
  void setCalibrationFieldRed(bool red) override;
  void setHeadroomText(const std::string& text) override;
  std::string decayText() const override;
  void setDecayFieldRed(bool red) override;
  void setDcOffsetTexts(const std::string& left, const std::string& right) override;

  // Actions, public so that the meter window and tests can run them.
  void closeWithOk();
  void colourChoice(ColourPanel* panel);
  void channelModeChange();
  void fontChoice();
  void skinChoice();
  void Button7Click();
  void LockSetClick();
  void Button6Click();
  void Button2Click();
  void Label2DblClick();
  void Label3DblClick();

  QFrame* Panel1;
  QFrame* Panel2;
  QFrame* Panel3;
  QFrame* Panel4;
  QFrame* Panel5;
  QFrame* Panel6;
  QCheckBox* LockSet;
  QLabel* Label32;
  QPushButton* Button1;
  QPushButton* Button2;
  // Panel1
  QPushButton* Button3;
  QLabel* Label17;
  QLabel* Label1;
  QLabel* Image1;
  QLabel* Label3;
  QLabel* Label2;
  // Panel2
  QLineEdit* Edit1;
  QLabel* Label14;
  QLineEdit* Edit8;
  QLineEdit* Edit2;
  QCheckBox* cbDCoffset;
  QLabel* Label39;
  QLabel* Label40;
  QPushButton* Button7;
  // Panel3
  ColourPanel* PeakBar;
  ColourPanel* Topbar;
  ColourPanel* MidBar;
  ColourPanel* Lowbar;
  UpDown* UpDown1;
  UpDown* UpDown2;
  QCheckBox* CheckBox4;
  QCheckBox* blended;
  QCheckBox* CheckBox3;
  QCheckBox* CheckBox2;
  QCheckBox* CheckBox1;
  // Panel4
  UpDown* UpDownL;
  UpDown* UpDownR;
  UpDown* UpDownWidth;
  QPushButton* Button6;
  QPushButton* Button4;
  QLineEdit* Edit3;
  QLineEdit* Edit5;
  // Panel5
  QComboBox* ComboBoxDevice;
  QLineEdit* Edit4;
  QPushButton* Button5;
  QComboBox* ComboBoxMode;
  QComboBox* ComboBoxRate;
  // Panel6
  QRadioButton* RadioButton1;
  QRadioButton* RadioButton2;
  QRadioButton* RadioButton3;
  QCheckBox* CheckBox6;
  QLineEdit* Edit6;
  QLabel* Label25;
  QCheckBox* CheckBox8;
  QCheckBox* CheckBox5;
  QLineEdit* Edit7;
  QLabel* Label26;
  QLabel* Label27;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void done(int result) override;

 private:
  void buildPanel1();
  void buildPanel2();
  void buildPanel3();
  void buildPanel4();
  void buildPanel5();
  void buildPanel6();
  void connectActions();
  void fill();
  void okSequence();
  void closeWithoutOk();
  void FormClose();
  void showLocked(bool locked);
  void unlock();
  bool keyRefused(QLineEdit* field, const QString& typed);
  void Edit4Change();
  void Edit6Change();
  void Edit7Change();
  void Edit8Change();
  void applyClipText();
  void readoutClick();
  void setEditFont(const LabelFont& font);

  Services s_;
  std::int32_t rateAtFill_ = 0;
  bool exitRequested_ = false;
  // Whether Edit1/Edit2 show red: asked for every buffer, set rarely.
  bool edit1Red_ = false;
  bool edit2Red_ = false;
  std::string edit1Text_;  // Edit1's text, kept by textChanged
  std::string edit2Text_;
};

// 3 significant digits, fixed-point, trailing zeros removed. From 1000 on
// (only a hand-edited time gets there) the digits after the third are zeros:
// 1234.567 shows as 1230.
std::string formatThreeDigits(double value, const std::string& separator);

}  // namespace tarnvale
