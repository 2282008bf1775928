#include "setup/form2.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file_filter.h"
#include "platform/font_dialog.h"
#include "platform/qt_services.h"
#include "settings/ini_file.h"
#include "settings/ring_length.h"
#include "settings/settings_file.h"
#include "setup/setup_texts.h"
#include "tests/settings/temp_folder.h"
#include "tests/support/fake_ui.h"

namespace tarnvale {
namespace {

using test::ShownMessage;
using Calls = std::vector<std::string>;

// Records what the dialog asks of the meter window.
struct FakeHost final : SetupHost {
  std::vector<std::string> devices{"Line In", "  Monitor of Speakers"};
  Calls calls;
  bool dialogOpen = false;

  std::vector<std::string> captureDeviceNames() override { return devices; }
  void setTopmost(bool on) override { calls.push_back(on ? "topmost on" : "topmost off"); }
  void redrawMeterDisplay() override { calls.push_back("redraw"); }
  void drawMeterLabel() override { calls.push_back("label"); }
  void applyMeterDisplaySize() override { calls.push_back("size"); }
  void rebuildColourTable() override { calls.push_back("colours"); }
  void loadMeterSkin(const std::string& path) override { calls.push_back("load " + path); }
  void switchCaptureDevice(std::int32_t index) override {
    calls.push_back("device " + std::to_string(index));
  }
  void helpAction() override { calls.push_back("help"); }
  WindowPosition meterWindowPosition() const override { return {200, 200}; }
  std::int32_t captureBufferBytes() const override { return bufferBytesFor(44100); }
  void requestDcCapture() override { calls.push_back("dc capture"); }
  void setSetupDialogOpen(bool open) override { dialogOpen = open; }
  void quitApplication() override { calls.push_back("quit"); }
};

struct FakeShell final : Shell {
  Calls opened;
  bool openDocument(const std::string& path) override {
    opened.push_back(path);
    return true;
  }
  bool openWebPage(const std::string& url) override {
    opened.push_back(url);
    return true;
  }
};

class Form2Test : public ::testing::Test {
 protected:
  Form2Test() { settings.graphicPath = folder.path() + "default.bmp"; }

  TForm2& form() {
    if (!form_)
      form_ = std::make_unique<TForm2>(
          TForm2::Services{settings, host, ui, locale, shell, folder.path()});
    return *form_;
  }

  // Opens the dialog and runs `whileOpen` inside its modal wait; `whileOpen`
  // closes it (OK, the close button or Exit Program).
  void run(std::function<void(TForm2&)> whileOpen) {
    TForm2& f = form();
    QTimer::singleShot(0, &f, [this, &f, whileOpen] {
      host.calls.clear();  // what the filling's change actions asked for
      whileOpen(f);
      if (f.isVisible()) f.close();  // a test that forgot to close still ends
    });
    f.runSetupDialog();
  }
  void openAndOk(std::function<void(TForm2&)> whileOpen = {}) {
    run([whileOpen](TForm2& f) {
      if (whileOpen) whileOpen(f);
      f.Button1->click();
    });
  }

  std::optional<std::string> stored(const char* section, const char* key) {
    return IniFile(settingsPath(folder.path())).read(section, key);
  }

  test::TempFolder folder;
  MeterSettings settings;
  FakeHost host;
  test::FakeUi ui;
  FixedLocale locale;
  FakeShell shell;
  std::unique_ptr<TForm2> form_;
};

TEST_F(Form2Test, TheWindowHasItsCaptionSizeAndNamedControls) {
  TForm2& f = form();
  EXPECT_EQ(f.windowTitle(), "Level Meter Setup");
  EXPECT_EQ(f.size(), QSize(775, 631));
  for (const char* name :
       {"Panel1",       "Panel2",       "Panel3",         "Panel4",       "Panel5",
        "Panel6",       "LockSet",      "Label32",        "Button1",      "Button2",
        "Button3",      "Label17",      "Label1",         "Image1",       "Label3",
        "Label2",       "Edit1",        "Label14",        "Edit8",        "Edit2",
        "cbDCoffset",   "Label39",      "Label40",        "Button7",      "PeakBar",
        "Topbar",       "MidBar",       "Lowbar",         "UpDown1",      "Edit12",
        "UpDown2",      "Edit13",       "CheckBox4",      "blended",      "CheckBox3",
        "CheckBox2",    "CheckBox1",    "UpDownL",        "Edit11",       "UpDownR",
        "Edit10",       "UpDownWidth",  "Edit9",          "Button6",      "Button4",
        "Edit3",        "Edit5",        "ComboBoxDevice", "Edit4",        "Button5",
        "ComboBoxMode", "ComboBoxRate", "RadioButton1",   "RadioButton2", "RadioButton3",
        "CheckBox6",    "Edit6",        "Label25",        "CheckBox8",    "CheckBox5",
        "Edit7",        "Label26",      "Label27"}) {
    EXPECT_NE(f.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
  }
  EXPECT_EQ(f.Button1->toolTip(), "Save Settings");
  EXPECT_EQ(f.Button2->toolTip(), "Close Program.");
  EXPECT_EQ(f.Label2->toolTip(), "Double-Click to open this folder");
  EXPECT_EQ(f.CheckBox1->toolTip(), "Remove Windows Borders");
  EXPECT_EQ(f.ComboBoxMode->itemText(3), "Mono  L + R - 6 dB");
  EXPECT_EQ(f.UpDown1->minimum(), 10);
  EXPECT_EQ(f.UpDown1->maximum(), 62);
  EXPECT_EQ(f.UpDownL->minimum(), -50);
  EXPECT_EQ(f.UpDownWidth->maximum(), 100);
  EXPECT_EQ(f.Label14->text(), "0");
  EXPECT_TRUE(f.Label32->isHidden());

  EXPECT_EQ(f.grab().size(), QSize(775, 631));
}

TEST_F(Form2Test, FirstOpeningShowsTheDefaults) {
  run([](TForm2& f) {
    EXPECT_EQ(f.Edit6->text(), "0.3");
    EXPECT_EQ(f.Edit7->text(), "2");
    EXPECT_EQ(f.Edit8->text(), "-0.5");
    EXPECT_EQ(f.Edit3->text(), "100");
    EXPECT_EQ(f.Edit1->text(), "0");
    EXPECT_EQ(f.Edit2->text(), "4");
    EXPECT_EQ(f.Edit4->text(), "Peak Level");
    EXPECT_EQ(f.Edit5->text(), "default.bmp");
    EXPECT_EQ(f.ComboBoxRate->currentText(), "44100");
    EXPECT_EQ(f.ComboBoxMode->currentText(), "Stereo");
    EXPECT_TRUE(f.RadioButton1->isChecked());
    EXPECT_EQ(f.ComboBoxDevice->currentText(), "Line In");
    EXPECT_EQ(f.ComboBoxDevice->itemText(1), "Monitor of Speakers");
    EXPECT_EQ(f.Label1->text(), "Tarnvale 1.95");
    EXPECT_EQ(f.Label25->text(), "( 0.033 to 15 seconds )");
    EXPECT_EQ(f.Label27->text(), "( 0.1 to 300 seconds )");
    EXPECT_EQ(f.UpDown1->value(), 53);
    EXPECT_EQ(f.UpDown2->value(), 32);
    EXPECT_EQ(f.UpDownWidth->value(), 20);
    EXPECT_EQ(f.Topbar->colour(), 0x0000FF);  // red as 0x00BBGGRR
    EXPECT_TRUE(f.CheckBox6->isChecked());
    EXPECT_TRUE(f.isModal());
    if (const char* path = std::getenv("TARNVALE_DIALOG_SCREENSHOT")) f.grab().save(path);
    f.close();
  });
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(settings.averageTimeMs, 300);
  EXPECT_EQ(settings.holdResetMs, 2000);
}

TEST_F(Form2Test, OkWritesEveryKeyInSaveOrderAndTheLoadReadsItBack) {
  settings.shortName = "  Desk";
  settings.windowLeft = settings.windowTop = 200;
  openAndOk([](TForm2& f) {
    f.CheckBox8->setChecked(true);
    f.UpDownL->setValue(7);
    f.Edit2->setText("6");
  });
  std::istringstream file(test::readFileBytes(settingsPath(folder.path())));
  std::vector<std::string> keys;
  for (std::string line; std::getline(file, line);) {
    if (const auto eq = line.find('='); eq != std::string::npos) keys.push_back(line.substr(0, eq));
  }
  const std::vector<std::string> saveOrder = {"Device Name",
                                              "Device",
                                              "Short Name",
                                              "cal",
                                              "ClipLevel",
                                              "decay",
                                              "amber",
                                              "borderless",
                                              "ontop",
                                              "Show Average",
                                              "SHow Phase",
                                              "TopColor",
                                              "MidColor",
                                              "BaseColor",
                                              "PeakColor",
                                              "Blend",
                                              "Hold Peaks",
                                              "Readout",
                                              "Average Time",
                                              "Reset Time",
                                              "Coloured Peaks",
                                              "Bar Width",
                                              "Offset Left",
                                              "Offset Right",
                                              "DC Offset Comp",
                                              "DC Offset Left",
                                              "DC Offset Right",
                                              "Sample Rate",
                                              "password",
                                              "Locked",
                                              "left",
                                              "top",
                                              "size",
                                              "redstart",
                                              "amberstart",
                                              "Blocks",
                                              "Vertical",
                                              "Channel Mode",
                                              "Graphic",
                                              "FontName",
                                              "FontSize",
                                              "FontColor",
                                              "FontStyle"};
  EXPECT_EQ(keys.size(), 43u);
  EXPECT_EQ(keys, saveOrder);
  MeterSettings reread;
  loadSettings(reread, folder.path(), locale);
  EXPECT_EQ(reread, settings);
  EXPECT_TRUE(reread.showPhase);
  EXPECT_EQ(reread.offsetLeft, 7);
  EXPECT_EQ(reread.decayText, "6");
  EXPECT_EQ(reread.shortName, "  Desk");
  EXPECT_EQ(reread.deviceName, "Line In");
  EXPECT_EQ(host.calls, (Calls{"colours", "size", "redraw", "topmost off"}));
}

TEST_F(Form2Test, FillingRunsTheChangeActionsOfWhatChanges) {
  settings.blocks = true;
  settings.averageTimeMs = 1234;
  run([this](TForm2& f) {
    EXPECT_EQ(f.Edit6->text(), "1.23");
    f.close();
  });
  // The time is derived again from its 3-digit text.
  EXPECT_EQ(settings.averageTimeMs, 1230);
  EXPECT_EQ(settings.avgRingLength, 37);
}

TEST_F(Form2Test, HandEditedTimesOfAThousandSecondsShowThreeDigits) {
  settings.averageTimeMs = 1234567;
  settings.holdResetMs = 2147483647;
  run([](TForm2& f) {
    EXPECT_EQ(f.Edit6->text(), "1230");
    EXPECT_EQ(f.Edit7->text(), "2150000");
    f.close();
  });
  // Out of the dialog's ranges: said so, and the times stay as the file had them.
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{kAverageOutOfRange, " Entry Error"},
                                                    {kResetOutOfRange, " Entry Error"}}));
  EXPECT_EQ(settings.averageTimeMs, 1234567);
  EXPECT_EQ(settings.holdResetMs, 2147483647);
}

TEST_F(Form2Test, TypingAnAverageTimeDigitByDigit) {
  openAndOk([this](TForm2& f) {
    f.Edit6->clear();
    EXPECT_EQ(settings.averageTimeMs, 300);
    QTest::keyClick(f.Edit6, '1');
    EXPECT_EQ(settings.averageTimeMs, 1000);
    EXPECT_EQ(settings.avgRingLength, 30);
    QTest::keyClick(f.Edit6, '6');
    EXPECT_EQ(f.Edit6->text(), "16");
    EXPECT_EQ(settings.averageTimeMs, 1000);
  });
  const ShownMessage invalid{kAverageInvalid, " Entry Error"};
  const ShownMessage range{kAverageOutOfRange, " Entry Error"};
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{invalid, range, range}));
  EXPECT_EQ(stored("Form", "Average Time"), "1000");
}

struct OkTimeCase {
  const char* average;
  const char* reset;
  std::int32_t averageMs;
  std::int32_t resetMs;
  std::vector<std::string> messages;
};

class OkTimes : public Form2Test, public ::testing::WithParamInterface<OkTimeCase> {};

TEST_P(OkTimes, AreTakenAtOk) {
  const OkTimeCase& c = GetParam();
  openAndOk([&c](TForm2& f) {
    f.Edit6->setText(c.average);
    f.Edit7->setText(c.reset);
  });
  EXPECT_EQ(settings.averageTimeMs, c.averageMs);
  EXPECT_EQ(settings.holdResetMs, c.resetMs);
  std::vector<std::string> texts;
  for (const ShownMessage& m : ui.messages) texts.push_back(m.text);
  EXPECT_EQ(texts, c.messages);
  EXPECT_EQ(stored("Form", "Average Time"), std::to_string(c.averageMs));
  EXPECT_EQ(stored("Form", "Reset Time"), std::to_string(c.resetMs));
}

INSTANTIATE_TEST_SUITE_P(
    Form2, OkTimes,
    ::testing::Values(
        // The change action raised 0.031 to 33 ms; OK takes 31 ms as typed.
        OkTimeCase{"0.031", "2", 31, 2000, {}},
        // 0.05 s becomes 100 ms silently while typed; OK refuses it and keeps 100.
        OkTimeCase{"0.3", "0.05", 300, 100, {kResetOutOfRange}},
        OkTimeCase{"15", "300", 15000, 300000, {}}, OkTimeCase{"1.23", "0.1", 1230, 100, {}}));

struct ClipCase {
  const char* text;
  double expected;
  const char* storedText;
};

class ClipLevel : public Form2Test, public ::testing::WithParamInterface<ClipCase> {};

TEST_P(ClipLevel, IsNeverPositive) {
  const ClipCase& c = GetParam();
  openAndOk([&](TForm2& f) {
    f.Edit8->setText(c.text);
    EXPECT_EQ(settings.clipLevelDb, c.expected);
  });
  EXPECT_EQ(settings.clipLevelDb, c.expected);
  EXPECT_EQ(stored("Form", "ClipLevel"), c.storedText);
}

INSTANTIATE_TEST_SUITE_P(Form2, ClipLevel,
                         ::testing::Values(ClipCase{"0.5", -0.5, "-0.5"}, ClipCase{"0", 0, "0"},
                                           ClipCase{"-3", -3, "-3"}, ClipCase{"", -0.5, "-0.5"}));

struct SizeCase {
  const char* text;
  std::int32_t expected;
};

class SizeField : public Form2Test, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(SizeField, IsHeldWithinItsRangeAtOk) {
  openAndOk([](TForm2& f) { f.Edit3->setText(GetParam().text); });
  EXPECT_EQ(settings.sizePercent, GetParam().expected);
  EXPECT_EQ(stored("Form", "size"), std::to_string(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Form2, SizeField,
                         ::testing::Values(SizeCase{"10", 20}, SizeCase{"300", 200},
                                           SizeCase{"", 100}, SizeCase{"35", 35}));

TEST_F(Form2Test, AnUnofferedRateShowsAs44100AndOkReportsTheChange) {
  settings.sampleRate = 32000;
  openAndOk([](TForm2& f) { EXPECT_EQ(f.ComboBoxRate->currentText(), "44100"); });
  EXPECT_EQ(settings.sampleRate, 44100);
  EXPECT_EQ(ui.messages,
            (std::vector<ShownMessage>{
                {" Sample Rate change requires a program restart", "Level Meter Warning"}}));
}

TEST_F(Form2Test, ARateChosenAndChosenBackShowsNoMessage) {
  openAndOk([](TForm2& f) {
    f.ComboBoxRate->setCurrentIndex(2);
    emit f.ComboBoxRate->activated(2);
    f.ComboBoxRate->setCurrentIndex(1);
    emit f.ComboBoxRate->activated(1);
  });
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(settings.sampleRate, 44100);
}

struct KeyCase {
  const char* field;
  const char* before;
  int cursor;
  char key;
  const char* after;
  const char* message;  // nullptr: none
};

class KeyFilter : public Form2Test, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyFilter, RefusesWhatTheFieldCannotHold) {
  const KeyCase& c = GetParam();
  auto* edit = form().findChild<QLineEdit*>(QString::fromLatin1(c.field));
  ASSERT_NE(edit, nullptr);
  edit->setText(c.before);
  edit->setCursorPosition(c.cursor);
  ui.messages.clear();
  QTest::keyClick(edit, c.key);
  EXPECT_EQ(edit->text(), c.after);
  if (c.message == nullptr) {
    EXPECT_TRUE(ui.messages.empty());
  } else {
    EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{c.message, "Tarnvale"}}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Form2, KeyFilter,
    ::testing::Values(
        KeyCase{"Edit1", "-4", 0, '-', "-4", "Invalid Key: twice -"},
        KeyCase{"Edit1", "4", 1, '-', "4", kMinusAtBeginning},
        KeyCase{"Edit1", "4", 0, '-', "-4", nullptr}, KeyCase{"Edit1", "4", 1, 'a', "4", nullptr},
        KeyCase{"Edit1", "4", 1, '.', "4.", nullptr},
        KeyCase{"Edit1", "4.5", 3, '.', "4.5", "Invalid Key: twice ."},
        KeyCase{"Edit8", "0.5", 3, '.', "0.5", "Invalid Key: twice ."},
        KeyCase{"Edit8", "-1", 0, '-', "-1", "Invalid Key: twice -"},
        KeyCase{"Edit8", "1", 1, '-', "1", kMinusAtBeginning},
        KeyCase{"Edit8", "1", 1, '5', "15", nullptr}, KeyCase{"Edit6", "0", 1, '.', "0.", nullptr},
        KeyCase{"Edit6", "1", 1, '-', "1", nullptr}, KeyCase{"Edit7", "2", 1, 'x', "2", nullptr},
        KeyCase{"Edit2", "4", 1, '.', "4", nullptr}, KeyCase{"Edit2", "4", 1, '5', "45", nullptr},
        KeyCase{"Edit3", "10", 2, '-', "10", nullptr}));

TEST_F(Form2Test, EnterReleasedInTheLabelFieldClosesWithOk) {
  run([](TForm2& f) {
    f.Edit4->setText("Studio");
    QTest::keyClick(f.Edit4, Qt::Key_Return);
  });
  EXPECT_EQ(form().result(), QDialog::Accepted);
  EXPECT_EQ(settings.shortName, "Studio");
  EXPECT_EQ(stored("Input", "Short Name"), "Studio");
}

class EnterKey : public Form2Test, public ::testing::WithParamInterface<const char*> {};

TEST_P(EnterKey, ReleasedInAnEntryFieldClosesWithOk) {
  run([](TForm2& f) {
    auto* edit = f.findChild<QLineEdit*>(QString::fromLatin1(GetParam()));
    ASSERT_NE(edit, nullptr);
    QTest::keyClick(edit, Qt::Key_Enter);
  });
  EXPECT_EQ(form().result(), QDialog::Accepted);
  EXPECT_TRUE(std::filesystem::exists(settingsPath(folder.path())));
}

INSTANTIATE_TEST_SUITE_P(Form2, EnterKey,
                         ::testing::Values("Edit1", "Edit2", "Edit3", "Edit4", "Edit6", "Edit7",
                                           "Edit8"));

TEST_F(Form2Test, EnterInTheSkinNameFieldDoesNotClose) {
  run([](TForm2& f) {
    QTest::keyClick(f.Edit5, Qt::Key_Return);
    EXPECT_TRUE(f.isVisible());
    f.close();
  });
  EXPECT_EQ(form().result(), QDialog::Rejected);
}

class EscapeKey : public Form2Test, public ::testing::WithParamInterface<const char*> {};

TEST_P(EscapeKey, LeavesTheDialogOpen) {
  run([this](TForm2& f) {
    f.ComboBoxDevice->setCurrentIndex(1);
    f.Edit1->setText("-6");
    QWidget* focus = f.findChild<QWidget*>(QString::fromLatin1(GetParam()));
    QTest::keyClick(focus != nullptr ? focus : &f, Qt::Key_Escape);
    EXPECT_TRUE(f.isVisible());
    // Nothing of a close ran: no device switch, the typed calibration stays.
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(f.Edit1->text(), "-6");
    EXPECT_TRUE(host.dialogOpen);
    f.Button1->click();
  });
  EXPECT_EQ(form().result(), QDialog::Accepted);
  EXPECT_EQ(stored("Form", "cal"), "-6");
}

// Escape pressed on the dialog itself and in controls that pass it on.
INSTANTIATE_TEST_SUITE_P(Form2, EscapeKey,
                         ::testing::Values("Form2", "Edit1", "Edit4", "Edit5", "CheckBox1",
                                           "ComboBoxMode", "Edit12"));

TEST_F(Form2Test, TheSpaceBarOnTheLockBoxRunsTheLockAction) {
  ui.inputAnswers = {"pw"};
  QTest::keyClick(form().LockSet, Qt::Key_Space);
  EXPECT_TRUE(settings.locked);
  EXPECT_EQ(settings.lockPassword, "pw");
  EXPECT_TRUE(form().LockSet->isChecked());
  EXPECT_EQ(ui.inputs.size(), 1u);
}

TEST_F(Form2Test, TheRightButtonReleasedOverTheLockBoxRunsTheLockAction) {
  ui.inputAnswers = {""};
  QTest::mouseClick(form().LockSet, Qt::RightButton);
  EXPECT_EQ(ui.inputs,
            (std::vector<ShownMessage>{{"Enter password required to unlock|", "LOCK Settings"}}));
  EXPECT_FALSE(settings.locked);
  EXPECT_FALSE(form().LockSet->isChecked());
}

TEST_F(Form2Test, LockedOnlyHelpLinksLockOkAndExitAreUsableAndOkStillSaves) {
  settings.locked = true;
  settings.lockPassword = "Secret";
  openAndOk([](TForm2& f) {
    for (QWidget* w : std::initializer_list<QWidget*>{f.Panel2, f.Panel3, f.Panel4, f.Panel5,
                                                      f.Panel6, f.Edit1, f.UpDownWidth})
      EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    for (QWidget* w : std::initializer_list<QWidget*>{f.Button3, f.Label2, f.Label3, f.LockSet,
                                                      f.Button1, f.Button2})
      EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(f.Label32->isVisible());
    EXPECT_TRUE(f.LockSet->isChecked());
  });
  EXPECT_EQ(stored("Form", "Locked"), "1");
  EXPECT_EQ(stored("Form", "password"), "Secret");
  EXPECT_EQ(stored("Form", "Bar Width"), "20");
}

TEST_F(Form2Test, ClosingByTheTitleBarRestoresTheCalibrationAndSavesNothing) {
  settings.calibrationText = "-4";
  run([this](TForm2& f) {
    EXPECT_TRUE(host.dialogOpen);
    f.Edit1->setText("-10");
    EXPECT_EQ(f.calibrationText(), "-10");  // the measurement uses it at once
    f.close();
  });
  EXPECT_EQ(form().Edit1->text(), "-4");
  EXPECT_FALSE(host.dialogOpen);
  EXPECT_EQ(settings.calibrationText, "-4");
  EXPECT_FALSE(std::filesystem::exists(settingsPath(folder.path())));
  EXPECT_EQ(host.calls, (Calls{"size", "redraw", "topmost off"}));
}

TEST_F(Form2Test, ADeviceChosenAndLeftWithoutOkSwitchesAtOnce) {
  run([this](TForm2& f) {
    f.ComboBoxDevice->setCurrentIndex(1);
    f.close();
    EXPECT_EQ(host.calls, (Calls{"device 1"}));
  });
  EXPECT_EQ(settings.deviceName, "Monitor of Speakers");
  EXPECT_EQ(settings.deviceIndex, 1);
}

struct DcCase {
  Answer answer;
  bool capture;
  bool comp;
  bool ticked;
  const char* label;
};

class DcQuestion : public Form2Test, public ::testing::WithParamInterface<DcCase> {};

TEST_P(DcQuestion, AnswersAsAsked) {
  const DcCase& c = GetParam();
  settings.dcOffsetLeft = 12;
  settings.dcOffsetRight = -3;
  settings.dcOffsetComp = false;
  ui.answers.push_back(c.answer);
  run([](TForm2& f) {
    f.Button7->click();
    f.close();
  });
  const std::string text = std::string("Set DC Offset Correction? \r\n\n") +
                           "Both channels should be silent, then click Yes to set." +
                           std::string(18, ' ') + "\r\n\n" + "Click No to reset to zero." +
                           std::string(18, ' ') + "\r\n\n" + "Cancel for no change.\r\n";
  EXPECT_EQ(ui.questions, (std::vector<ShownMessage>{{text, "Confirm"}}));
  EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "dc capture"), c.capture ? 1 : 0);
  EXPECT_EQ(settings.dcOffsetComp, c.comp);
  EXPECT_EQ(form().cbDCoffset->isChecked(), c.ticked);
  EXPECT_EQ(form().Label39->text(), c.label);
}

INSTANTIATE_TEST_SUITE_P(Form2, DcQuestion,
                         ::testing::Values(DcCase{Answer::Yes, true, true, true, "12"},
                                           DcCase{Answer::No, false, false, false, "0"},
                                           DcCase{Answer::Cancel, false, false, false, "12"}));

TEST_F(Form2Test, LockThenUnlockNeedsTheExactPassword) {
  ui.inputAnswers = {"Secret", "secret", "", "Secret"};
  run([this](TForm2& f) {
    f.LockSet->click();
    EXPECT_TRUE(settings.locked);
    EXPECT_FALSE(f.Panel2->isEnabled());
    f.LockSet->click();  // other letter case
    EXPECT_TRUE(settings.locked);
    EXPECT_TRUE(f.LockSet->isChecked());
    f.LockSet->click();  // cancelled
    EXPECT_TRUE(settings.locked);
    EXPECT_TRUE(f.LockSet->isChecked());
    EXPECT_TRUE(f.Label32->isVisible());
    f.LockSet->click();
    EXPECT_FALSE(settings.locked);
    EXPECT_FALSE(f.LockSet->isChecked());
    EXPECT_TRUE(f.Panel6->isEnabled());
    EXPECT_FALSE(f.Label32->isVisible());
    f.close();
  });
  EXPECT_EQ(settings.lockPassword, "");
  const ShownMessage lock{"Enter password required to unlock|", "LOCK Settings"};
  const ShownMessage unlock{"Enter password to unlock|", "Unlock Settings"};
  EXPECT_EQ(ui.inputs, (std::vector<ShownMessage>{lock, unlock, unlock, unlock}));
}

struct LockCase {
  const char* typed;         // the password typed to lock
  const char* writtenAs;     // nullptr: locked and saved by the dialog; else the file's value
  const char* unlockAnswer;  // typed after the restart
  bool opens;
};

class LockAfterRestart : public Form2Test, public ::testing::WithParamInterface<LockCase> {};

TEST_P(LockAfterRestart, OpensWithWhatWasTyped) {
  const LockCase& c = GetParam();
  if (c.writtenAs == nullptr) {
    ui.inputAnswers = {c.typed};
    openAndOk([](TForm2& f) { f.LockSet->click(); });
    ASSERT_TRUE(settings.locked);
  } else {
    // As files were written before passwords were quoted.
    IniFile file(settingsPath(folder.path()));
    file.write("Form", "password", c.writtenAs);
    file.write("Form", "Locked", "1");
  }
  // The next start: the settings come from the file, the dialog is new.
  form_.reset();
  settings = MeterSettings{};
  loadSettings(settings, folder.path(), locale);
  ASSERT_TRUE(settings.locked);
  ui.inputAnswers = {c.unlockAnswer};
  run([&c](TForm2& f) {
    EXPECT_FALSE(f.Panel2->isEnabled());
    f.LockSet->click();
    EXPECT_EQ(f.Panel2->isEnabled(), c.opens);
    EXPECT_EQ(f.LockSet->isChecked(), !c.opens);
    f.close();
  });
  EXPECT_EQ(settings.locked, !c.opens);
}

INSTANTIATE_TEST_SUITE_P(
    Form2, LockAfterRestart,
    ::testing::Values(
        LockCase{"Secret", nullptr, "Secret", true}, LockCase{"Secret", nullptr, "secret", false},
        LockCase{"  open sesame  ", nullptr, "  open sesame  ", true},
        LockCase{"   ", nullptr, "   ", true}, LockCase{"\"quoted\"", nullptr, "\"quoted\"", true},
        LockCase{"'single'", nullptr, "'single'", true},
        LockCase{" \" both \" ", nullptr, " \" both \" ", true},
        LockCase{"\"quoted\"", nullptr, "quoted", false},
        // Written bare, the blanks and quotes around were lost; what was typed still opens.
        LockCase{"  open sesame  ", "  open sesame  ", "  open sesame  ", true},
        LockCase{"\"quoted\"", "\"quoted\"", "\"quoted\"", true},
        LockCase{"Secret", "Secret", "Secret", true},
        LockCase{"Secret", "Secret", "Other", false}));

TEST_F(Form2Test, ALockWithoutAPasswordOpensWithAClick) {
  IniFile file(settingsPath(folder.path()));
  file.write("Form", "password", "");
  file.write("Form", "Locked", "1");
  loadSettings(settings, folder.path(), locale);
  ASSERT_TRUE(settings.locked);
  openAndOk([this](TForm2& f) {
    EXPECT_FALSE(f.Panel2->isEnabled());
    f.LockSet->click();
    EXPECT_TRUE(f.Panel2->isEnabled());
    EXPECT_FALSE(f.Label32->isVisible());
    EXPECT_FALSE(settings.locked);
  });
  EXPECT_TRUE(ui.inputs.empty());
  EXPECT_EQ(stored("Form", "Locked"), "0");
}

TEST_F(Form2Test, ColourPanelsAvoidTheKeyColourAndStoreAlpha) {
  ui.colorAnswers = {0x400040, std::nullopt, 0x00FF00};
  run([](TForm2& f) {
    f.MidBar->onClick();
    f.Topbar->onClick();
    f.PeakBar->onClick();
    f.close();
  });
  EXPECT_EQ(form().MidBar->colour(), 0x410041);
  EXPECT_EQ(settings.midColor, static_cast<std::int32_t>(0xFF410041));
  // Cancelled: the colour stays, now opaque, and the table is still rebuilt.
  EXPECT_EQ(settings.topColor, static_cast<std::int32_t>(0xFFFF0000));
  EXPECT_EQ(settings.peakColor, static_cast<std::int32_t>(0xFF00FF00));
  EXPECT_EQ(host.calls, (Calls{"colours", "colours", "size", "redraw", "topmost off"}));
}

struct ModeCase {
  int from;
  int to;
  const char* hint;  // nullptr: none
};

class ModeChange : public Form2Test, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ModeChange, HintsAtAMatchingSkin) {
  settings.channelMode = GetParam().from;
  run([](TForm2& f) {
    f.ComboBoxMode->setCurrentIndex(GetParam().to);
    emit f.ComboBoxMode->activated(GetParam().to);
    f.close();
  });
  EXPECT_EQ(settings.channelMode, GetParam().to);
  if (GetParam().hint == nullptr) {
    EXPECT_TRUE(ui.messages.empty());
  } else {
    EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{GetParam().hint, kModeChangeCaption}}));
  }
  EXPECT_EQ(host.calls.front(), "redraw");
}

INSTANTIATE_TEST_SUITE_P(Form2, ModeChange,
                         ::testing::Values(ModeCase{0, 1, kSingleChannelHint},
                                           ModeCase{1, 2, nullptr},
                                           ModeCase{2, 0, kDualChannelHint},
                                           ModeCase{0, 0, nullptr}));

TEST_F(Form2Test, PeakHoldInfiniteDisablesTheResetField) {
  TForm2& f = form();
  f.CheckBox5->setChecked(true);
  EXPECT_TRUE(settings.holdPeaks);
  EXPECT_FALSE(f.Edit7->isEnabled());
  EXPECT_FALSE(f.Label26->isEnabled());
  EXPECT_FALSE(f.Label27->isEnabled());
  f.CheckBox5->setChecked(false);
  EXPECT_FALSE(settings.holdPeaks);
  EXPECT_TRUE(f.Edit7->isEnabled());
  EXPECT_TRUE(f.Label26->isEnabled());
}

struct RedrawCase {
  const char* control;
  bool startChecked;
  bool redraws;
};

class Redraws : public Form2Test, public ::testing::WithParamInterface<RedrawCase> {};

TEST_P(Redraws, OnlyWhatRemovesSomethingRedraws) {
  const RedrawCase& c = GetParam();
  auto* button = form().findChild<QAbstractButton*>(QString::fromLatin1(c.control));
  ASSERT_NE(button, nullptr);
  button->setChecked(c.startChecked);
  host.calls.clear();
  button->click();
  EXPECT_EQ(host.calls, c.redraws ? Calls{"redraw"} : Calls{}) << c.control;
}

INSTANTIATE_TEST_SUITE_P(Form2, Redraws,
                         ::testing::Values(RedrawCase{"CheckBox8", true, true},
                                           RedrawCase{"CheckBox8", false, false},
                                           RedrawCase{"CheckBox3", true, true},
                                           RedrawCase{"CheckBox6", true, false},
                                           RedrawCase{"RadioButton2", false, false},
                                           RedrawCase{"RadioButton3", false, false}));

TEST_F(Form2Test, SelectingNoneRedrawsAndSetsTheReadout) {
  TForm2& f = form();
  f.RadioButton3->click();
  EXPECT_EQ(settings.readoutMode, 2);
  host.calls.clear();
  f.RadioButton1->click();
  EXPECT_EQ(settings.readoutMode, 0);
  EXPECT_EQ(host.calls, Calls{"redraw"});
}

TEST_F(Form2Test, UpDownsActOnTheirArrowsOnly) {
  openAndOk([this](TForm2& f) {
    f.UpDownWidth->stepBy(1);
    EXPECT_EQ(settings.barWidth, 21);
    EXPECT_EQ(host.calls, Calls{"redraw"});
    f.UpDown1->stepBy(-1);
    EXPECT_EQ(settings.redStart, 52);
    f.UpDownL->field()->selectAll();
    QTest::keyClick(f.UpDownL->field(), '5');
    EXPECT_EQ(f.UpDownL->value(), 5);
    EXPECT_EQ(settings.offsetLeft, 0);
    EXPECT_EQ(host.calls, (Calls{"redraw", "colours"}));
  });
  EXPECT_EQ(settings.offsetLeft, 5);  // read at OK
}

TEST_F(Form2Test, DefaultButtonResetsPositionSpacingAndWidth) {
  TForm2& f = form();
  f.UpDownL->setValue(9);
  f.UpDownWidth->setValue(60);
  settings.barWidth = 60;
  f.Button6->click();
  EXPECT_EQ(f.UpDownL->value(), 0);
  EXPECT_EQ(f.UpDownWidth->value(), 20);
  EXPECT_EQ(settings.barWidth, 20);
  EXPECT_EQ(host.calls, Calls{"redraw"});
}

TEST_F(Form2Test, ChooseSkinAsksForASkinInTheSkinsFolder) {
  ui.fileAnswers = {folder.path() + "Skins/Mono.bmp", std::nullopt};
  TForm2& f = form();
  f.Button4->click();
  EXPECT_EQ(settings.graphicPath, folder.path() + "Skins/Mono.bmp");
  EXPECT_EQ(f.Edit5->text(), "Mono.bmp");
  f.Button4->click();  // cancelled
  EXPECT_EQ(host.calls,
            (Calls{"load " + folder.path() + "Skins/Mono.bmp", "redraw", "label", "label"}));
  ASSERT_EQ(ui.fileRequests.size(), 2u);
  EXPECT_EQ(ui.fileRequests[0].filter, kSkinFileFilter);
  EXPECT_EQ(ui.fileRequests[0].initialFolder, folder.path() + "Skins");
  EXPECT_EQ(ui.fileRequests[0].defaultExtension, "bmp");
}

TEST_F(Form2Test, FontChangesTheLabelFontOnlyWhenConfirmed) {
  ui.fontAnswers = {std::nullopt, FontChoice{"DejaVu Sans", 16, 0x0000FF, 3}};
  TForm2& f = form();
  f.Button5->click();
  EXPECT_EQ(settings.labelFont, LabelFont{});
  EXPECT_TRUE(host.calls.empty());
  f.Button5->click();
  EXPECT_EQ(settings.labelFont, (LabelFont{"DejaVu Sans", 16, 0x0000FF, 3}));
  EXPECT_TRUE(f.Edit4->font().bold());
  EXPECT_EQ(host.calls, Calls{"label"});
}

TEST_F(Form2Test, TheFontDialogSetsTheLabelColour) {
  QtUi qtUi;
  TForm2 f(TForm2::Services{settings, host, qtUi, locale, shell, folder.path()});
  settings.labelFont = LabelFont{"DejaVu Sans", 14, 0x00FFFFFF, 1};
  std::string shownFace;
  QTimer::singleShot(0, [&shownFace] {
    auto* dialog = dynamic_cast<FontDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    shownFace = dialog->face->currentText().toStdString();
    QTimer::singleShot(0, [] {
      auto* colours = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(colours, nullptr);
      colours->setCurrentColor(QColor(0, 128, 255));
      colours->accept();
    });
    dialog->colour->click();
    dialog->italic->setChecked(true);
    dialog->accept();
  });
  f.Button5->click();
  EXPECT_EQ(shownFace, "DejaVu Sans");
  EXPECT_EQ(settings.labelFont, (LabelFont{"DejaVu Sans", 14, 0x00FF8000, 3}));
  EXPECT_EQ(f.Edit4->palette().color(QPalette::Text), QColor(0, 128, 255));
  EXPECT_TRUE(f.Edit4->font().italic());
  EXPECT_EQ(host.calls, Calls{"label"});
}

TEST_F(Form2Test, ExitProgramSavesTheWindowStateAndEndsWithoutTheCloseAction) {
  run([](TForm2& f) {
    f.ComboBoxDevice->setCurrentIndex(1);
    f.Button2->click();
  });
  EXPECT_EQ(host.calls, Calls{"quit"});
  EXPECT_EQ(settings.deviceIndex, 0);
  EXPECT_EQ(stored("Form", "left"), "200");
  EXPECT_EQ(stored("Input", "Device Name"), std::nullopt);
}

TEST_F(Form2Test, ExitProgramWithAnUnwritableFileShowsTheErrorAndKeepsRunning) {
  std::filesystem::remove_all(folder.path());
  run([this](TForm2& f) {
    f.Button2->click();
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{
                               {"Unable to write to " + settingsPath(folder.path()), "Tarnvale"}}));
    f.close();
  });
  EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "quit"), 0);
}

TEST_F(Form2Test, AFailedSaveAtOkIsShownAndTheRefreshDoesNotRun) {
  std::filesystem::remove_all(folder.path());
  openAndOk([](TForm2& f) { f.Edit3->setText("150"); });
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{
                             {"Unable to write to " + settingsPath(folder.path()), "Tarnvale"}}));
  EXPECT_EQ(settings.sizePercent, 150);
  EXPECT_EQ(host.calls, Calls{"colours"});
}

TEST_F(Form2Test, HelpAndTheTwoLinks) {
  TForm2& f = form();
  f.Button3->click();
  QTest::mouseDClick(f.Label2, Qt::LeftButton);
  QTest::mouseDClick(f.Label3, Qt::LeftButton);
  EXPECT_EQ(host.calls, Calls{"help"});
  EXPECT_EQ(shell.opened, (Calls{folder.path(), kWebPage}));
}

TEST(FileFilter, SkinFilterBecomesQtNameFilters) {
  EXPECT_EQ(qtNameFilters(kSkinFileFilter),
            "Background Graphic (*.jpg; *.bmp) (*jpg *bmp *BMP *JPG);;"
            "Background Graphic (*.bmp) (*bmp *BMP);;Background Graphic (*.jpg) (*jpg *JPG)");
}

TEST(ThreeDigits, FormatsSecondsAsTheFieldsShowThem) {
  const std::vector<std::pair<double, std::string>> cases = {
      {0.3, "0.3"},      {0.033, "0.033"},         {2, "2"},
      {15, "15"},        {1.234, "1.23"},          {300, "300"},
      {0.1, "0.1"},      {999.4, "999"},           {999.5, "1000"},
      {1000, "1000"},    {1234.567, "1230"},       {1235, "1240"},
      {99999, "100000"}, {2147483.647, "2150000"}, {-1234.567, "-1230"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(formatThreeDigits(value, "."), text) << value;
  EXPECT_EQ(formatThreeDigits(1.5, ","), "1,5");
}

}  // namespace
}  // namespace tarnvale
