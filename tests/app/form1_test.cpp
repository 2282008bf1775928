#include "app/form1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "capture/capture_texts.h"
#include "platform/locale.h"
#include "raster/image32.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "setup/form2.h"
#include "tests/settings/temp_folder.h"
#include "tests/support/end_process_trap.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_ui.h"
#include "tests/support/file_change_counter.h"
#include "tests/support/scripted_wave_in.h"

namespace tarnvale {
namespace {

using test::ShownMessage;
using test::WaveOp;

struct FakeScreens final : Screens {
  std::vector<WorkArea> areas{{0, 0, 1920, 1040}};
  std::vector<WorkArea> workAreas() const override { return areas; }
};

struct FakeShell final : Shell {
  std::vector<std::string> opened;
  bool openDocument(const std::string& path) override {
    opened.push_back(path);
    return std::filesystem::exists(path);
  }
  bool openWebPage(const std::string& url) override {
    opened.push_back(url);
    return true;
  }
};

class Form1Test : public ::testing::Test {
 protected:
  Form1Test() {
    std::filesystem::copy_file(TARNVALE_SOURCE_DIR "/data/default.bmp",
                               folder.path() + "default.bmp");
    waveIn.devices = {"Line In", "Monitor of Speakers"};
  }

  void write(const char* section, const char* key, const std::string& value) {
    IniFile(settingsPath(folder.path())).write(section, key, value);
  }
  std::optional<std::string> stored(const char* section, const char* key) {
    return IniFile(settingsPath(folder.path())).read(section, key);
  }

  std::unique_ptr<TForm1> start() {
    return std::make_unique<TForm1>(
        TForm1::Services{waveIn, ui, clock, locale, screens, shell, folder.path()});
  }

  test::TempFolder folder;
  test::ScriptedWaveIn waveIn;
  test::FakeUi ui;
  test::FakeClock clock{5000};
  FixedLocale locale;
  FakeScreens screens;
  FakeShell shell;
  test::EndProcessTrap trap;
};

TEST_F(Form1Test, StartsWithDefaultsOnDeviceZeroWithoutAFile) {
  auto form = start();
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(form->captureStarted);
  EXPECT_EQ(form->settings.graphicPath, folder.path() + "default.bmp");
  EXPECT_EQ(form->settings.deviceIndex, 0);
  EXPECT_EQ(waveIn.deviceOf(form->captureState.waveInHandle), 0);
  EXPECT_EQ(form->captureState.buffersQueued, 3);
  EXPECT_EQ(form->settings.avgRingLength, 9);
  EXPECT_EQ(form->settings.calibrationText, "0");
  EXPECT_EQ(form->meterState.decayStep, 4);
  EXPECT_EQ(form->meterState.lastReadoutTick, 5000u);
  EXPECT_EQ(form->workBitmap.Width(), 150);
  EXPECT_EQ(form->workBitmap.Height(), 600);
  EXPECT_TRUE(form->settings.vertical);
  EXPECT_EQ(form->windowTitle(), "Peak Level");
  // Both bitmaps share the one draft resampler.
  EXPECT_EQ(form->workBitmap.Resampler(), form->Image1->Bitmap().Resampler());
  EXPECT_EQ(form->positionTable[3277], 510);
  EXPECT_FALSE(form->isVisible());
  // With a border the two rightmost columns are hidden.
  EXPECT_EQ(form->size(), QSize(148, 600));
  EXPECT_EQ(form->Image1->size(), QSize(150, 600));
}

TEST_F(Form1Test, ChoosesTheDeviceByName) {
  const struct {
    std::string name;
    std::string storedIndex;
    int expected;
    std::vector<ShownMessage> messages;
    bool namesRead;
  } cases[] = {
      {"", "1", 0, {}, false},
      {"Monitor of Speakers", "0", 1, {}, true},
      {"USB Mic",
       "1",
       0,
       {{"Input device  \"USB Mic\"  not found.\n\r\n\rThe default device will be used.",
         "Tarnvale Error"}},
       true},
  };
  for (const auto& c : cases) {
    ui.messages.clear();
    waveIn.calls.clear();
    write("Input", "Device Name", c.name);
    write("Input", "Device", c.storedIndex);
    auto form = start();
    EXPECT_EQ(form->settings.deviceIndex, c.expected) << c.name;
    EXPECT_EQ(waveIn.deviceOf(form->captureState.waveInHandle), c.expected) << c.name;
    EXPECT_EQ(ui.messages, c.messages) << c.name;
    // Names compared before the open; the one read after it is the metered device's.
    const auto open =
        std::find_if(waveIn.calls.begin(), waveIn.calls.end(),
                     [](const test::WaveCall& call) { return call.op == WaveOp::Open; });
    EXPECT_EQ(std::any_of(waveIn.calls.begin(), open,
                          [](const test::WaveCall& call) { return call.op == WaveOp::DeviceName; }),
              c.namesRead)
        << c.name;
    EXPECT_EQ(form->captureState.deviceName, waveIn.devices[static_cast<std::size_t>(c.expected)]);
  }
}

TEST_F(Form1Test, NoCaptureDeviceEndsAfterOneMessage) {
  waveIn.devices.clear();
  std::unique_ptr<TForm1> form;
  EXPECT_THROW(form = start(), test::ProcessEnded);
  EXPECT_EQ(
      ui.messages,
      (std::vector<ShownMessage>{
          {"No sound input device found.\n\r\n\rThe program will close.", "Tarnvale Error"}}));
  EXPECT_EQ(waveIn.countOf(WaveOp::Open), 0u);
}

TEST_F(Form1Test, AServerNotReachableAtStartIsWaitedForByRecovery) {
  write("Input", "Device Name", "Monitor of Speakers");
  waveIn.unreachable = true;
  auto form = start();
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(waveIn.countOf(WaveOp::WaitForList), 1u);
  EXPECT_EQ(form->captureState.waveInHandle, kNoWaveIn);
  // Recovery starts once the event loop runs, and finds the device by name
  // when the server is back.
  QTimer::singleShot(250, [this] { waveIn.unreachable = false; });
  QCoreApplication::sendPostedEvents(form.get());
  EXPECT_FALSE(form->captureState.recovering);
  EXPECT_EQ(waveIn.deviceOf(form->captureState.waveInHandle), 1);
  EXPECT_EQ(form->captureState.buffersQueued, 3);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(stored("Input", "Device"), std::nullopt);  // the device setting is kept
}

TEST_F(Form1Test, EmptyCalibrationAndDecayGetTheirStartTexts) {
  write("Form", "cal", "");
  write("Form", "decay", "");
  auto form = start();
  EXPECT_EQ(form->settings.calibrationText, " 0");
  EXPECT_EQ(form->settings.decayText, "2");
  EXPECT_EQ(form->meterState.decayStep, 2);
  EXPECT_TRUE(form->captureStarted);
}

TEST_F(Form1Test, ADecayThatIsNoWholeNumberStopsStartUpAfterTheSkin) {
  write("Form", "decay", "fast");
  auto form = start();
  EXPECT_EQ(ui.messages,
            (std::vector<ShownMessage>{{"'fast' is not a valid integer value", "Tarnvale"}}));
  EXPECT_FALSE(form->captureStarted);
  EXPECT_EQ(waveIn.countOf(WaveOp::Open), 0u);
  EXPECT_EQ(form->workBitmap.Width(), 150);  // the skin was loaded
  EXPECT_EQ(form->positionTable[3277], 0);   // never built
}

TEST_F(Form1Test, ClosingWritesOnlyTheWindowState) {
  auto form = start();
  form->settings.sizePercent = 150;
  form->settings.shortName = "changed in memory";
  form->move(321, 123);
  form->FormClose();
  EXPECT_EQ(stored("Form", "left"), std::to_string(form->x()));
  EXPECT_EQ(stored("Form", "top"), std::to_string(form->y()));
  EXPECT_EQ(stored("Form", "size"), "150");
  EXPECT_EQ(stored("Form", "borderless"), "0");
  EXPECT_EQ(stored("Input", "Device"), "0");
  EXPECT_EQ(stored("Form", "Graphic"), folder.path() + "default.bmp");
  EXPECT_EQ(stored("Input", "Short Name"), std::nullopt);
  const std::string text = test::readFileBytes(settingsPath(folder.path()));
  EXPECT_EQ(std::count(text.begin(), text.end(), '='), 6) << text;
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Form1Test, ClosingWithAnUnwritableFileTellsTheUserAndStillCloses) {
  auto form = start();
  std::filesystem::remove_all(folder.path());
  form->FormClose();
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{{"Unable to save settings to " + folder.path() +
                                                         "Tarnvale.ini, closing program anyway.",
                                                     " Level Meter Error"}}));
  EXPECT_TRUE(form->FormCloseQuery());
}

TEST_F(Form1Test, BuffersReachTheDisplayAndTheDialogFields) {
  auto form = start();
  TForm2 form2(TForm2::Services{form->settings, *form, ui, locale, shell, folder.path()});
  form->setDialogs(&form2, nullptr);
  form2.Edit1->setText("-4");
  form2.Edit2->setText("4");
  const std::int16_t frame[] = {16384, 0};
  ASSERT_TRUE(waveIn.deliver(form->captureState.waveInHandle, frame));
  QCoreApplication::sendPostedEvents(form.get());
  EXPECT_EQ(form2.Label14->text(), "4 dB");
  EXPECT_GT(form->meterState.peakL, 400);
  EXPECT_EQ(form->meterState.peakR, 1);
  EXPECT_EQ(form->captureState.buffersQueued, 3);
  // The display now shows the skin with the bars.
  EXPECT_EQ(form->Image1->Bitmap().Width(), 150);
  EXPECT_NE(form->Image1->Bitmap().ScanLine(300)[75], 0u);
}

TEST_F(Form1Test, DoubleClickResetsHoldsAndF1OpensHelp) {
  auto form = start();
  form->meterState.peakholdL = 300;
  form->meterState.clipLatchedRight = true;
  form->Image1DblClick();
  EXPECT_EQ(form->meterState.peakholdL, 0);
  EXPECT_FALSE(form->meterState.clipLatchedRight);

  form->FormKeyUp(Qt::Key_F2);
  EXPECT_TRUE(shell.opened.empty());
  form->FormKeyUp(Qt::Key_F1);
  const std::string help = folder.path() + "Help/index.html";
  EXPECT_EQ(shell.opened, std::vector<std::string>{help});
  EXPECT_EQ(ui.messages,
            (std::vector<ShownMessage>{{"Help not found - " + help, " VU Meter Error"}}));
}

TEST_F(Form1Test, ActivationPlacesTheWindowAndRestoresTheDialogFields) {
  write("Form", "left", "0");
  write("Form", "top", "100");
  auto form = start();
  TForm2 form2(TForm2::Services{form->settings, *form, ui, locale, shell, folder.path()});
  form->setDialogs(&form2, nullptr);
  form2.Edit1->setText("typed");
  form->FormActivate();
  EXPECT_EQ(form->pos(), QPoint(0, 100));
  EXPECT_EQ(form2.Edit1->text(), "0");
  EXPECT_EQ(form2.Edit2->text(), "4");
}

TEST_F(Form1Test, DialogsMadeWhenNeededTakeOverWhatTheMeasurementKept) {
  write("Form", "cal", "-4");
  auto form = start();
  form->makeDialogsWhenNeeded();
  // The windows' own classes carry no meta-object of their own: found by name.
  const auto made = [&form](const char* name) {
    return form->findChildren<QWidget*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
  };
  form->show();
  // Measured with the fields the activation restored, before any dialog exists.
  const std::int16_t frame[] = {16384, 0};
  ASSERT_TRUE(waveIn.deliver(form->captureState.waveInHandle, frame));
  QCoreApplication::sendPostedEvents(form.get());
  EXPECT_TRUE(made("Form2").empty());
  int shown = 0;
  for (int opening = 0; opening < 2; ++opening) {
    QTimer::singleShot(0, form.get(), [&made, &shown] {
      ++shown;
      const QList<QWidget*> dialogs = made("Form2");
      ASSERT_EQ(dialogs.size(), 1);
      auto* form2 = static_cast<TForm2*>(dialogs[0]);
      // The headroom the last buffer gave, which the dialog's filling leaves alone.
      EXPECT_EQ(form2->Label14->text(), "4 dB");
      EXPECT_EQ(form2->Edit1->text(), "-4");
      form2->close();
    });
    form->Image1MouseDown(Qt::RightButton);
  }
  EXPECT_EQ(shown, 2);  // each right click ran the dialog
  // The recovery window too appears only once a device is lost.
  EXPECT_TRUE(made("Form3").empty());
  waveIn.lose(form->captureState.waveInHandle);
  QCoreApplication::sendPostedEvents(form.get());
  ASSERT_EQ(made("Form3").size(), 1);
  EXPECT_FALSE(made("Form3")[0]->isVisible());
}

struct ShowCase {
  const char* left;
  const char* top;
  QPoint expected;
};

class PlacedAtShow : public Form1Test, public ::testing::WithParamInterface<ShowCase> {};

// No window activation takes part: the window is placed as it is shown.
TEST_P(PlacedAtShow, WhateverTheFocus) {
  write("Form", "left", GetParam().left);
  write("Form", "top", GetParam().top);
  write("Form", "decay", "7");
  auto form = start();
  TForm2 form2(TForm2::Services{form->settings, *form, ui, locale, shell, folder.path()});
  form->setDialogs(&form2, nullptr);
  form2.Edit2->setText("typed");
  form->show();
  EXPECT_EQ(form->pos(), GetParam().expected);
  EXPECT_EQ(form2.Edit2->text(), "7");
}

INSTANTIATE_TEST_SUITE_P(Form1, PlacedAtShow,
                         ::testing::Values(ShowCase{"300", "200", {300, 200}},
                                           // Near the int limit the checks must not wrap round.
                                           ShowCase{"2147483600", "100", {0, 100}},
                                           ShowCase{"100", "2147483600", {100, 0}},
                                           ShowCase{"2147483647", "2147483647", {0, 0}}));

TEST_F(Form1Test, RecoveryPlacesTheWindowAsItEnds) {
  write("Form", "left", "300");
  write("Form", "top", "200");
  auto form = start();
  form->move(700, 500);
  // The device goes and is still listed: recovery finds it at its first look.
  waveIn.lose(form->captureState.waveInHandle);
  QCoreApplication::sendPostedEvents(form.get());
  EXPECT_EQ(waveIn.countOf(WaveOp::Open), 2u);
  EXPECT_EQ(form->pos(), QPoint(300, 200));
}

class Form1SetupTest : public Form1Test {
 protected:
  Form1SetupTest()
      : form(start()),
        form2(TForm2::Services{form->settings, *form, ui, locale, shell, folder.path()}) {
    form->setDialogs(&form2, nullptr);
  }
  // A right click on the meter, with `whileOpen` run inside the dialog.
  void rightClick(std::function<void()> whileOpen) {
    QTimer::singleShot(0, &form2, [this, whileOpen] {
      whileOpen();
      if (form2.isVisible()) form2.close();
    });
    form->Image1MouseDown(Qt::RightButton);
  }

  std::unique_ptr<TForm1> form;
  TForm2 form2;
};

TEST_F(Form1SetupTest, ARightClickOpensTheDialogAndItsArrowsActAtOnce) {
  rightClick([this] {
    EXPECT_TRUE(form2.isVisible());
    EXPECT_TRUE(form->displayState.setupDialogOpen);
    form2.UpDownWidth->stepBy(10);
    EXPECT_EQ(form->settings.barWidth, 30);
    form2.Button1->click();
  });
  EXPECT_FALSE(form->displayState.setupDialogOpen);
  EXPECT_EQ(stored("Form", "Bar Width"), "30");
  const std::string text = test::readFileBytes(settingsPath(folder.path()));
  EXPECT_EQ(std::count(text.begin(), text.end(), '='), 43) << text;
}

TEST_F(Form1SetupTest, SetAnsweredYesShowsTheOffsetsOfTheNextBuffer) {
  ui.answers.push_back(Answer::Yes);
  std::vector<std::int16_t> samples;
  for (int i = 0; i < 1000; ++i) samples.insert(samples.end(), {100, -40});
  rightClick([&, this] {
    form2.Button7->click();
    EXPECT_TRUE(form->dcCapturePending);
    ASSERT_TRUE(waveIn.deliver(form->captureState.waveInHandle, samples));
    QCoreApplication::sendPostedEvents(form.get());
    EXPECT_FALSE(form->dcCapturePending);
    EXPECT_GT(form->settings.dcOffsetLeft, 90);
    EXPECT_GT(form->settings.dcOffsetRight, 30);
    EXPECT_EQ(form2.Label39->text().toStdString(), std::to_string(form->settings.dcOffsetLeft));
    EXPECT_EQ(form2.Label40->text().toStdString(), std::to_string(form->settings.dcOffsetRight));
    EXPECT_TRUE(form2.cbDCoffset->isChecked());
  });
  EXPECT_TRUE(form->settings.dcOffsetComp);
}

TEST_F(Form1SetupTest, ADeviceChosenWithoutOkSwitchesCaptureAtOnce) {
  rightClick([this] {
    form2.ComboBoxDevice->setCurrentIndex(1);
    form2.close();
    EXPECT_EQ(waveIn.deviceOf(form->captureState.waveInHandle), 1);
  });
  EXPECT_EQ(form->settings.deviceIndex, 1);
  EXPECT_EQ(form->settings.deviceName, "Monitor of Speakers");
  EXPECT_EQ(form->captureState.buffersQueued, 3);
  EXPECT_FALSE(std::filesystem::exists(settingsPath(folder.path())));
}

TEST_F(Form1SetupTest, TheDialogShowsTheMeteredDeviceWhereverTheListMovedIt) {
  rightClick([this] {
    form2.ComboBoxDevice->setCurrentIndex(1);
    form2.Button1->click();
  });
  ASSERT_EQ(stored("Input", "Device Name"), "Monitor of Speakers");
  const std::size_t opens = waveIn.countOf(WaveOp::Open);
  // A device plugged in becomes the default: it comes first, the others move down.
  waveIn.devices = {"USB Headset", "Line In", "Monitor of Speakers"};
  rightClick([this] {
    EXPECT_EQ(form2.ComboBoxDevice->currentIndex(), 2);
    EXPECT_EQ(form2.ComboBoxDevice->currentText(), "Monitor of Speakers");
    form2.Button1->click();
  });
  EXPECT_EQ(stored("Input", "Device Name"), "Monitor of Speakers");
  EXPECT_EQ(waveIn.countOf(WaveOp::Open), opens);
}

TEST_F(Form1SetupTest, ADeviceChosenFromAListThatChangedSinceIsFoundByItsName) {
  rightClick([this] {
    // Listed while the dialog was open, the default moves to the top.
    waveIn.devices = {"Monitor of Speakers", "Line In"};
    form2.ComboBoxDevice->setCurrentIndex(1);  // "Monitor of Speakers" as shown
    form2.Button1->click();
  });
  EXPECT_EQ(waveIn.deviceOf(form->captureState.waveInHandle), 0);
  EXPECT_EQ(form->captureState.deviceName, "Monitor of Speakers");
  EXPECT_EQ(stored("Input", "Device Name"), "Monitor of Speakers");
}

TEST_F(Form1SetupTest, ExitProgramWithAnUnwritableFileKeepsRunning) {
  // A folder where the file should be: the file cannot be written.
  std::filesystem::create_directory(settingsPath(folder.path()));
  rightClick([this] {
    form2.Button2->click();
    EXPECT_TRUE(form2.isVisible());
  });
  EXPECT_EQ(ui.messages, (std::vector<ShownMessage>{
                             {"Unable to write to " + settingsPath(folder.path()), "Tarnvale"}}));
  EXPECT_TRUE(form->captureStarted);
}

struct CloseCase {
  const char* how;
  std::vector<ShownMessage> messages;
};

class PlacedAfterTheDialog : public Form1SetupTest,
                             public ::testing::WithParamInterface<CloseCase> {};

// However the dialog closes, the window is back in its place and the decay
// field shows the stored text as soon as the dialog's run returns.
TEST_P(PlacedAfterTheDialog, WhateverTheFocus) {
  form->settings.windowLeft = 300;
  form->settings.windowTop = 200;
  const std::string how = GetParam().how;
  rightClick([this, how] {
    form->move(640, 480);  // dragged while the dialog is open
    form2.Edit2->setText("9");
    if (how == "rate") form2.ComboBoxRate->setCurrentIndex(2);  // a message in the OK sequence
    if (how == "close") {
      form2.close();
    } else {
      form2.Button1->click();
    }
  });
  EXPECT_EQ(form->pos(), QPoint(300, 200));
  EXPECT_EQ(form2.Edit2->text().toStdString(), form->settings.decayText);
  EXPECT_EQ(ui.messages, GetParam().messages);
}

INSTANTIATE_TEST_SUITE_P(Form1, PlacedAfterTheDialog,
                         ::testing::Values(CloseCase{"close", {}}, CloseCase{"ok", {}},
                                           CloseCase{
                                               "rate",
                                               {{" Sample Rate change requires a program restart",
                                                 "Level Meter Warning"}}}));

TEST_F(Form1SetupTest, ExitProgramSavesTheWindowStateOnceAndEndsTheEventLoop) {
  // How often one window-state save writes the file.
  int oneSave = 0;
  {
    test::FileChangeCounter counter(folder.path(), "Tarnvale.ini");
    saveWindowState(form->settings, folder.path(), {1, 2});
    oneSave = counter.count();
  }
  ASSERT_GT(oneSave, 0);
  std::filesystem::remove(settingsPath(folder.path()));

  test::FileChangeCounter saves(folder.path(), "Tarnvale.ini");
  form->show();
  form->move(321, 123);
  // A right click on the meter, then Exit Program in the dialog, in the
  // program's own event loop.
  QTimer::singleShot(0, form.get(), [this] {
    QTimer::singleShot(0, &form2, [this] { form2.Button2->click(); });
    QTest::mouseClick(form->Image1, Qt::RightButton, {}, QPoint(10, 10));
  });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_EQ(saves.count(), oneSave);
  EXPECT_EQ(stored("Form", "left"), "321");
  EXPECT_TRUE(ui.messages.empty());
  // The meter window's own close handling did not run.
  EXPECT_TRUE(form->isVisible());
}

}  // namespace
}  // namespace tarnvale
