#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <string>
#include <utility>

#include "meter/measurement_fields.h"
#include "platform/locale.h"
#include "platform/shell.h"
#include "platform/ui.h"
#include "settings/meter_settings.h"
#include "setup/entry_rules.h"
#include "setup/setup_host.h"
#include "setup/setup_widgets.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tarnvale {

// The setup dialog. Created once, when first opened, and hidden between uses;
// from then on the measurement reads and writes its calibration, decay,
// headroom and DC offset fields for every buffer through MeasurementFields.
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

  // The controls keep their form names; what each one is, where the name
  // does not say.
  QFrame* Panel1;  // title, version, links, Help
  QFrame* Panel2;  // calibration, clip level, decay, DC offset
  QFrame* Panel3;  // bar colours and display options
  QFrame* Panel4;  // bar position and size, skin
  QFrame* Panel5;  // input device, label, channel mode, sample rate
  QFrame* Panel6;  // numeric readout, average, phase, peak hold
  QCheckBox* LockSet;
  QLabel* Label32;       // "Settings are Locked"
  QPushButton* Button1;  // OK
  QPushButton* Button2;  // Exit Program
  // Panel1
  QPushButton* Button3;  // Help
  QLabel* Label17;       // the application's title
  QLabel* Label1;        // the version
  QLabel* Image1;        // the icon
  QLabel* Label3;        // the web address; a double click opens it
  QLabel* Label2;        // the data folder; a double click opens it
  // Panel2
  QLineEdit* Edit1;  // calibration: meter full scale, dB below system full scale
  QLabel* Label14;   // headroom
  QLineEdit* Edit8;  // clip level, dB below system full scale
  QLineEdit* Edit2;  // decay rate, 1 (slow) to 10 (fast)
  QCheckBox* cbDCoffset;
  QLabel* Label39;       // measured DC offset, left
  QLabel* Label40;       // measured DC offset, right
  QPushButton* Button7;  // SET: the DC offset question
  // Panel3: bar colours (click to choose) and the blocks where they start
  ColourPanel* PeakBar;
  ColourPanel* Topbar;
  ColourPanel* MidBar;
  ColourPanel* Lowbar;
  UpDown* UpDown1;       // redStart, field Edit12
  UpDown* UpDown2;       // amberStart, field Edit13
  QCheckBox* CheckBox4;  // User Colour Peaks
  QCheckBox* blended;
  QCheckBox* CheckBox3;  // Bars as blocks
  QCheckBox* CheckBox2;  // Always on top
  QCheckBox* CheckBox1;  // No Borders
  // Panel4
  UpDown* UpDownL;       // bar position, field Edit11
  UpDown* UpDownR;       // bar spacing, field Edit10
  UpDown* UpDownWidth;   // bar width, field Edit9
  QPushButton* Button6;  // "*": position, spacing and width back to their defaults
  QPushButton* Button4;  // Choose Skin...
  QLineEdit* Edit3;      // size in percent
  QLineEdit* Edit5;      // the skin's file name
  // Panel5
  QComboBox* ComboBoxDevice;
  QLineEdit* Edit4;      // the label, shown in its font
  QPushButton* Button5;  // Font
  QComboBox* ComboBoxMode;
  QComboBox* ComboBoxRate;
  // Panel6
  QRadioButton* RadioButton1;  // numeric readout: None
  QRadioButton* RadioButton2;  // Peaks
  QRadioButton* RadioButton3;  // Average
  QCheckBox* CheckBox6;        // Show Average Mark
  QLineEdit* Edit6;            // average time, seconds
  QLabel* Label25;             // its range
  QCheckBox* CheckBox8;        // Show Phase Correlation
  QCheckBox* CheckBox5;        // Peak Hold Infinite
  QLineEdit* Edit7;            // hold reset time, seconds
  QLabel* Label26;             // "Hold Reset Time"
  QLabel* Label27;             // its range

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
  EntryField fieldOf(const QLineEdit* edit) const;
  bool keyRefused(QLineEdit* field, const QString& typed);
  void Edit4Change();
  void Edit6Change();
  void Edit7Change();
  void Edit8Change();
  // A time field's text, typed or at OK: reported, or taken into the settings.
  void takeAverageTime(const TimeEntry& entry);
  void takeResetTime(const TimeEntry& entry);
  void applyClipText();
  // The readout buttons with the modes they stand for; the mode of the one
  // selected into the settings (none selected: no change).
  std::array<std::pair<QRadioButton*, ReadoutMode>, 3> readoutButtons() const;
  void takeSelectedReadout();
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

}  // namespace tarnvale
