// What the dialog's controls do: the change actions of its fields and the
// actions of its buttons, panels and links.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <exception>

#include "platform/application.h"
#include "platform/data_folder.h"
#include "platform/font_dialog.h"
#include "raster/color.h"
#include "settings/ring_length.h"
#include "settings/settings_file.h"
#include "setup/form2.h"
#include "setup/setup_texts.h"

namespace tarnvale {

// ---- Change actions of the entry fields ----

void TForm2::Edit4Change() {
  s_.settings.shortName = Edit4->text().toStdString();
  s_.host.drawMeterLabel();
}

void TForm2::Edit6Change() {
  takeAverageTime(
      averageTimeWhileTyping(Edit6->text().toStdString(), s_.locale.decimalSeparator()));
}

void TForm2::Edit7Change() {
  takeResetTime(resetTimeWhileTyping(Edit7->text().toStdString(), s_.locale.decimalSeparator()));
}

void TForm2::takeAverageTime(const TimeEntry& entry) {
  if (entry.notANumber) s_.ui.showMessage(kAverageInvalid, kEntryErrorCaption);
  if (entry.outOfRange) {
    s_.ui.showMessage(kAverageOutOfRange, kEntryErrorCaption);
    return;
  }
  MeterSettings& s = s_.settings;
  s.averageTimeMs = static_cast<std::int32_t>(entry.value);
  s.avgRingLength =
      clampRingLength(ringLengthFor(entry.value, s.sampleRate, s_.host.captureBufferBytes()));
}

void TForm2::takeResetTime(const TimeEntry& entry) {
  if (entry.notANumber) s_.ui.showMessage(kResetInvalid, kEntryErrorCaption);
  if (entry.outOfRange) {
    s_.ui.showMessage(kResetOutOfRange, kEntryErrorCaption);
    return;
  }
  s_.settings.holdResetMs = static_cast<std::int32_t>(entry.value * 1000);
}

void TForm2::Edit8Change() {
  applyClipText();
}

void TForm2::applyClipText() {
  s_.settings.clipLevelDb =
      clipLevelFromText(Edit8->text().toStdString(), s_.locale.decimalSeparator());
}

void TForm2::setEditFont(const LabelFont& font) {
  Edit4->setFont(styledFont(font.name, font.size, font.style));
  QPalette p = Edit4->palette();
  p.setColor(QPalette::Base, Qt::black);
  p.setColor(QPalette::Text, qcolor(font.color));
  Edit4->setPalette(p);
}

// ---- Actions ----

void TForm2::colourChoice(ColourPanel* panel) {
  if (const auto chosen = s_.ui.chooseColor(panel->colour())) panel->setColour(*chosen);
  if (const std::int32_t shown = avoidingKeyColour(panel->colour()); shown != panel->colour())
    panel->setColour(shown);
  const auto argb = static_cast<std::int32_t>(colorToArgb(panel->colour()));
  MeterSettings& s = s_.settings;
  if (panel == Topbar) s.topColor = argb;
  if (panel == MidBar) s.midColor = argb;
  if (panel == Lowbar) s.baseColor = argb;
  if (panel == PeakBar) {
    s.peakColor = argb;  // the bars read it each time they are drawn
    return;
  }
  s_.host.rebuildColourTable();
}

void TForm2::channelModeChange() {
  // The entries stand in the stored order. Every number above Stereo's, a
  // hand-edited one too, counts as a single channel.
  const int i = ComboBoxMode->currentIndex();
  const std::int32_t stereo = storedValue(ChannelMode::Stereo);
  if (s_.settings.channelMode > stereo && i == stereo)
    s_.ui.showMessage(kDualChannelHint, kModeChangeCaption);
  if (s_.settings.channelMode == stereo && i > stereo)
    s_.ui.showMessage(kSingleChannelHint, kModeChangeCaption);
  s_.settings.channelMode = i;
  s_.host.redrawMeterDisplay();
}

void TForm2::readoutClick() {
  takeSelectedReadout();
  if (RadioButton1->isChecked()) s_.host.redrawMeterDisplay();  // removes the readouts
}

void TForm2::fontChoice() {
  const LabelFont& f = s_.settings.labelFont;
  const auto chosen = s_.ui.chooseFont(FontChoice{f.name, f.size, f.color, f.style});
  if (!chosen) return;
  s_.settings.labelFont = LabelFont{chosen->name, chosen->size, chosen->color, chosen->style};
  setEditFont(s_.settings.labelFont);
  s_.host.drawMeterLabel();
}

void TForm2::skinChoice() {
  if (const auto path =
          s_.ui.chooseOpenFile(kSkinFileFilter, s_.dataFolder + kSkinsFolderName, "bmp")) {
    s_.settings.graphicPath = *path;
    s_.host.loadMeterSkin(*path);
    Edit5->setText(qs(fileNameOf(*path)));
    s_.host.redrawMeterDisplay();
  }
  s_.host.drawMeterLabel();
}

void TForm2::Button6Click() {
  UpDownL->setValue(0);
  UpDownR->setValue(0);
  UpDownWidth->setValue(20);
  s_.settings.offsetLeft = 0;
  s_.settings.offsetRight = 0;
  s_.settings.barWidth = 20;
  s_.host.redrawMeterDisplay();
}

void TForm2::Button7Click() {
  switch (s_.ui.askYesNoCancel(kDcQuestion, kConfirmCaption)) {
    case Answer::Yes:
      s_.host.requestDcCapture();
      s_.settings.dcOffsetComp = true;
      cbDCoffset->setChecked(true);
      break;
    case Answer::No:
      s_.settings.dcOffsetLeft = 0;
      s_.settings.dcOffsetRight = 0;
      Label39->setText(QStringLiteral("0"));
      Label40->setText(QStringLiteral("0"));
      cbDCoffset->setChecked(false);
      break;
    case Answer::Cancel:
      break;
  }
}

void TForm2::unlock() {
  LockSet->setChecked(false);
  s_.settings.locked = false;
  showLocked(false);
  s_.settings.lockPassword.clear();
}

void TForm2::LockSetClick() {
  MeterSettings& s = s_.settings;
  if (s.locked) {
    // No answer could match an empty password (only a hand-edited file holds
    // one): such a lock opens with the click, or it could never open.
    if (s.lockPassword.empty()) {
      unlock();
      return;
    }
    const std::string answer = s_.ui.inputText(kUnlockCaption, kUnlockPrompt, "");
    if (!answer.empty() && opensLock(answer, s.lockPassword)) {
      unlock();
    } else {
      LockSet->setChecked(true);
    }
    return;
  }
  const std::string answer = s_.ui.inputText(kLockCaption, kLockPrompt, "");
  if (answer.empty()) {
    LockSet->setChecked(false);
    return;
  }
  s.locked = true;
  s.lockPassword = answer;
  LockSet->setChecked(true);
  showLocked(true);
}

void TForm2::Button2Click() {
  try {
    saveWindowState(s_.settings, s_.dataFolder, s_.host.meterWindowPosition());
  } catch (const std::exception& error) {
    // Not caught by the action itself: the standard error box, and the dialog stays.
    s_.ui.showMessage(error.what(), kApplicationTitle);
    return;
  }
  exitRequested_ = true;
  reject();
}

void TForm2::Label2DblClick() {
  s_.shell.openDocument(s_.dataFolder);
}

void TForm2::Label3DblClick() {
  s_.shell.openWebPage(kWebPage);
}

}  // namespace tarnvale
