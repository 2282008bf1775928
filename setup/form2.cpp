// The dialog's wiring and its life: the connections and event filters with
// the key filter, the fields the measurement reads, filling, OK and the other
// closes. Its layout is in form2_layout.cpp, its actions in form2_actions.cpp.
#include "setup/form2.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <exception>

#include "raster/color.h"
#include "settings/number_text.h"
#include "settings/settings_file.h"
#include "setup/setup_texts.h"

namespace tarnvale {

namespace {

// Only touches the widget when the colour changes: the measurement sets it
// for every buffer.
void showInvalid(QLineEdit* edit, bool& shownRed, bool red) {
  if (shownRed == red) return;
  shownRed = red;
  edit->setStyleSheet(red ? QStringLiteral("QLineEdit { background: red; }") : QString());
}

}  // namespace

// ---- Wiring ----

void TForm2::connectActions() {
  for (QLineEdit* edit : {Edit1, Edit2, Edit3, Edit4, Edit6, Edit7, Edit8})
    edit->installEventFilter(this);
  Label2->installEventFilter(this);
  Label3->installEventFilter(this);
  LockSet->installEventFilter(this);

  // The measurement reads these two for every buffer: keep them as text.
  connect(Edit1, &QLineEdit::textChanged, this,
          [this](const QString& text) { edit1Text_ = text.toStdString(); });
  connect(Edit2, &QLineEdit::textChanged, this,
          [this](const QString& text) { edit2Text_ = text.toStdString(); });
  connect(Edit4, &QLineEdit::textChanged, this, &TForm2::Edit4Change);
  connect(Edit6, &QLineEdit::textChanged, this, &TForm2::Edit6Change);
  connect(Edit7, &QLineEdit::textChanged, this, &TForm2::Edit7Change);
  connect(Edit8, &QLineEdit::textChanged, this, &TForm2::Edit8Change);

  for (ColourPanel* panel : {Topbar, MidBar, Lowbar, PeakBar})
    panel->onClick = [this, panel] { colourChoice(panel); };
  UpDown1->onArrow = [this] {
    s_.settings.redStart = UpDown1->value();
    s_.host.rebuildColourTable();
  };
  UpDown2->onArrow = [this] {
    s_.settings.amberStart = UpDown2->value();
    s_.host.rebuildColourTable();
  };
  UpDownL->onArrow = [this] {
    s_.settings.offsetLeft = UpDownL->value();
    s_.host.redrawMeterDisplay();
  };
  UpDownR->onArrow = [this] {
    s_.settings.offsetRight = UpDownR->value();
    s_.host.redrawMeterDisplay();
  };
  UpDownWidth->onArrow = [this] {
    s_.settings.barWidth = UpDownWidth->value();
    s_.host.redrawMeterDisplay();
  };
  connect(Button6, &QPushButton::clicked, this, &TForm2::Button6Click);

  // Check boxes act on every change of their tick, set in code or clicked.
  connect(blended, &QCheckBox::toggled, this, [this](bool on) { s_.settings.blend = on; });
  connect(CheckBox3, &QCheckBox::toggled, this, [this](bool on) {
    s_.settings.blocks = on;
    s_.host.redrawMeterDisplay();
  });
  connect(CheckBox1, &QCheckBox::toggled, this, [this](bool on) { s_.settings.borderless = on; });
  connect(CheckBox4, &QCheckBox::toggled, this,
          [this](bool on) { s_.settings.colouredPeaks = on; });
  connect(CheckBox6, &QCheckBox::toggled, this, [this](bool on) { s_.settings.showAverage = on; });
  connect(CheckBox5, &QCheckBox::toggled, this, [this](bool on) {
    Label26->setEnabled(!on);
    Label27->setEnabled(!on);
    Edit7->setEnabled(!on);
    s_.settings.holdPeaks = on;
  });
  connect(CheckBox8, &QCheckBox::toggled, this, [this](bool on) {
    s_.settings.showPhase = on;
    if (!on) s_.host.redrawMeterDisplay();  // removes the phase displays
  });
  // The DC box is also set by SET and the filling, without its action.
  connect(cbDCoffset, &QCheckBox::clicked, this,
          [this](bool on) { s_.settings.dcOffsetComp = on; });
  for (QRadioButton* radio : {RadioButton1, RadioButton2, RadioButton3}) {
    connect(radio, &QRadioButton::toggled, this, [this](bool on) {
      if (on) readoutClick();
    });
  }
  connect(ComboBoxMode, &QComboBox::activated, this, &TForm2::channelModeChange);
  connect(ComboBoxRate, &QComboBox::activated, this, &TForm2::channelModeChange);
  connect(Button5, &QPushButton::clicked, this, &TForm2::fontChoice);
  connect(Button4, &QPushButton::clicked, this, &TForm2::skinChoice);
  connect(Button7, &QPushButton::clicked, this, &TForm2::Button7Click);
  connect(LockSet, &QCheckBox::clicked, this, &TForm2::LockSetClick);
  connect(Button3, &QPushButton::clicked, this, [this] { s_.host.helpAction(); });
  connect(Button1, &QPushButton::clicked, this, &TForm2::closeWithOk);
  connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
}

// ---- MeasurementFields ----

std::string TForm2::calibrationText() const {
  return edit1Text_;
}
void TForm2::setCalibrationFieldRed(bool red) {
  showInvalid(Edit1, edit1Red_, red);
}
void TForm2::setHeadroomText(const std::string& text) {
  setIfChanged(Label14, text);
}
std::string TForm2::decayText() const {
  return edit2Text_;
}
void TForm2::setDecayFieldRed(bool red) {
  showInvalid(Edit2, edit2Red_, red);
}
void TForm2::setDcOffsetTexts(const std::string& left, const std::string& right) {
  setIfChanged(Label39, left);
  setIfChanged(Label40, right);
}

// ---- Filling, OK and the other close ----

void TForm2::runSetupDialog() {
  exitRequested_ = false;
  fill();
  s_.host.setSetupDialogOpen(true);
  if (QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr)
    move(screen->availableGeometry().center() - rect().center());
  const int result = exec();
  if (exitRequested_) {
    closeWithoutOk();
    s_.host.quitApplication();
    return;
  }
  if (result == QDialog::Accepted) {
    try {
      okSequence();
    } catch (const std::exception& error) {
      // The application's standard error box; the refresh does not run.
      s_.ui.showMessage(error.what(), kApplicationTitle);
      return;
    }
  } else {
    closeWithoutOk();
  }
  s_.host.applyMeterDisplaySize();
  s_.host.redrawMeterDisplay();
  s_.host.setTopmost(s_.settings.onTop);
}

void TForm2::fill() {
  MeterSettings& s = s_.settings;
  const std::string sep = s_.locale.decimalSeparator();
  const std::string sysSep = s_.locale.systemDecimalSeparator();
  // 2.
  ComboBoxDevice->clear();
  const std::vector<std::string> names = s_.host.captureDeviceNames();
  if (names.size() < 2) s.deviceIndex = 0;
  for (const std::string& name : names) ComboBoxDevice->addItem(qs(withoutLeadingBlanks(name)));
  ComboBoxDevice->setCurrentIndex(s.deviceIndex < ComboBoxDevice->count() ? s.deviceIndex : -1);
  // 3.-4.
  setIfChanged(Label1, kVersionText);
  Edit1->setText(qs(s.calibrationText));
  Edit2->setText(qs(s.decayText));
  Edit3->setText(QString::number(s.sizePercent));
  setEditFont(s.labelFont);
  Edit4->setText(qs(s.shortName));
  Edit5->setText(qs(fileNameOf(s.graphicPath)));
  Edit8->setText(qs(formatGeneral(s.clipLevelDb, sep)));
  // 5.-6.
  Topbar->setColour(argbToColor(static_cast<TColor32>(s.topColor)));
  MidBar->setColour(argbToColor(static_cast<TColor32>(s.midColor)));
  Lowbar->setColour(argbToColor(static_cast<TColor32>(s.baseColor)));
  PeakBar->setColour(argbToColor(static_cast<TColor32>(s.peakColor)));
  Label2->setText(qs(kGraphicsPathPrefix + s_.dataFolder));
  // 7.-8.
  CheckBox2->setChecked(s.onTop);
  CheckBox6->setChecked(s.showAverage);
  // The entries stand in the stored order.
  ComboBoxMode->setCurrentIndex(
      channelModeOf(s.channelMode) == ChannelMode::Unknown ? -1 : s.channelMode);
  CheckBox8->setChecked(s.showPhase);
  CheckBox1->setChecked(s.borderless);
  CheckBox3->setChecked(s.blocks);
  CheckBox4->setChecked(s.colouredPeaks);
  CheckBox5->setChecked(s.holdPeaks);
  UpDownWidth->setValue(s.barWidth);
  UpDownL->setValue(s.offsetLeft);
  UpDownR->setValue(s.offsetRight);
  // 9. An unknown mode leaves the selection as it was.
  for (const auto& [button, mode] : readoutButtons())
    if (readoutModeOf(s.readoutMode) == mode) button->setChecked(true);
  // 10.
  rateAtFill_ = s.sampleRate;
  ComboBoxRate->setCurrentIndex(offeredRateIndex(s.sampleRate));
  // 11.-13.
  cbDCoffset->setChecked(s.dcOffsetComp);
  Label39->setText(QString::number(s.dcOffsetLeft));
  Label40->setText(QString::number(s.dcOffsetRight));
  Label25->setText(qs("( 0" + sysSep + "033 to 15 seconds )"));
  Label27->setText(qs("( 0" + sysSep + "1 to 300 seconds )"));
  // 14. The change actions derive the times again from these texts.
  Edit6->setText(qs(formatThreeDigits(s.averageTimeMs / 1000.0, sep)));
  Edit7->setText(qs(formatThreeDigits(s.holdResetMs / 1000.0, sep)));
  // 15.-16.
  blended->setChecked(s.blend);
  UpDown1->setValue(s.redStart);
  UpDown2->setValue(s.amberStart);
  if (s.locked) {
    LockSet->setChecked(true);
    showLocked(true);
  }
}

void TForm2::okSequence() {
  MeterSettings& s = s_.settings;
  const std::string sep = s_.locale.decimalSeparator();
  s_.host.setSetupDialogOpen(false);
  s.calibrationText = Edit1->text().toStdString();
  s.decayText = Edit2->text().toStdString();
  s.sizePercent = sizePercentFromText(Edit3->text().toStdString());
  s.shortName = Edit4->text().toStdString();
  takeSelectedReadout();
  if (const int i = ComboBoxRate->currentIndex(); i >= 0) s.sampleRate = kOfferedRates[i];
  if (s.sampleRate != rateAtFill_) s_.ui.showMessage(kRateChangeMessage, kWarningCaption);

  takeAverageTime(averageTimeAtOk(Edit6->text().toStdString(), sep));
  takeResetTime(resetTimeAtOk(Edit7->text().toStdString(), sep));

  applyClipText();
  s.barWidth = UpDownWidth->value();
  s.offsetLeft = UpDownL->value();
  s.offsetRight = UpDownR->value();
  s.borderless = CheckBox1->isChecked();
  s.onTop = CheckBox2->isChecked();
  s.showAverage = CheckBox6->isChecked();
  s.channelMode = ComboBoxMode->currentIndex();  // -1 with no entry selected
  s.showPhase = CheckBox8->isChecked();
  s.blocks = CheckBox3->isChecked();
  s.colouredPeaks = CheckBox4->isChecked();
  s.holdPeaks = CheckBox5->isChecked();
  s.topColor = static_cast<std::int32_t>(colorToArgb(Topbar->colour()));
  s.midColor = static_cast<std::int32_t>(colorToArgb(MidBar->colour()));
  s.baseColor = static_cast<std::int32_t>(colorToArgb(Lowbar->colour()));
  s.peakColor = static_cast<std::int32_t>(colorToArgb(PeakBar->colour()));
  s.redStart = UpDown1->value();
  s.amberStart = UpDown2->value();
  s_.host.rebuildColourTable();
  s.blend = blended->isChecked();
  saveSettings(s, s_.dataFolder, s_.locale, s_.host.meterWindowPosition(), LockSet->isChecked());
}

std::array<std::pair<QRadioButton*, ReadoutMode>, 3> TForm2::readoutButtons() const {
  return {{{RadioButton1, ReadoutMode::None},
           {RadioButton2, ReadoutMode::HeldPeaks},
           {RadioButton3, ReadoutMode::Average}}};
}

void TForm2::takeSelectedReadout() {
  for (const auto& [button, mode] : readoutButtons())
    if (button->isChecked()) s_.settings.readoutMode = storedValue(mode);
}

void TForm2::closeWithoutOk() {
  Edit1->setText(qs(s_.settings.calibrationText));
  s_.host.setSetupDialogOpen(false);
}

void TForm2::closeWithOk() {
  done(QDialog::Accepted);
}

void TForm2::keyPressEvent(QKeyEvent* event) {
  // Escape does nothing: the dialog closes by OK, Enter in an entry field, its
  // close button or Exit Program only.
  if (event->matches(QKeySequence::Cancel)) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TForm2::done(int result) {
  if (!exitRequested_) FormClose();
  QDialog::done(result);
}

void TForm2::FormClose() {
  const int selected = ComboBoxDevice->currentIndex();
  if (selected < 0) return;  // no device listed: nothing to apply
  if (selected != s_.settings.deviceIndex) s_.host.switchCaptureDevice(selected);
  s_.settings.deviceIndex = selected;
  s_.settings.deviceName = ComboBoxDevice->itemText(selected).toStdString();
}

void TForm2::showLocked(bool locked) {
  for (QFrame* panel : {Panel2, Panel3, Panel4, Panel5, Panel6}) panel->setEnabled(!locked);
  Label32->setVisible(locked);
}

// ---- Entry fields ----

EntryField TForm2::fieldOf(const QLineEdit* edit) const {
  if (edit == Edit1) return EntryField::Calibration;
  if (edit == Edit8) return EntryField::ClipLevel;
  if (edit == Edit2) return EntryField::Decay;
  if (edit == Edit3) return EntryField::Size;
  if (edit == Edit6) return EntryField::AverageTime;
  if (edit == Edit7) return EntryField::ResetTime;
  return EntryField::Other;
}

bool TForm2::keyRefused(QLineEdit* edit, const QString& typed) {
  if (typed.isEmpty()) return false;
  const int insertAt = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
  const KeyCheck check =
      checkKey(fieldOf(edit), typed.front().unicode(), edit->text().toStdString(), insertAt == 0,
               s_.locale.systemDecimalSeparator(), s_.locale.decimalSeparator());
  if (!check.message.empty()) s_.ui.showMessage(check.message, kApplicationTitle);
  return check.refused;
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick) {
    if (watched == Label2) Label2DblClick();
    if (watched == Label3) Label3DblClick();
  }
  // Any mouse button released over the lock box runs the lock action; the
  // left one (and the space bar) through `clicked`, after toggling the tick.
  if (watched == LockSet && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton &&
        LockSet->rect().contains(mouse->position().toPoint())) {
      LockSetClick();
      return true;
    }
  }
  auto* edit = qobject_cast<QLineEdit*>(watched);
  if (edit != nullptr && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (keyRefused(edit, key->text())) return true;
  }
  if (edit != nullptr && edit != Edit5 && event->type() == QEvent::KeyRelease) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat()) {
      closeWithOk();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace tarnvale
