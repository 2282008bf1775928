#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "capture/capture_cycle.h"
#include "display/colour_table.h"
#include "display/display_copy.h"
#include "display/display_state.h"
#include "display/skin.h"
#include "meter/measurement_fields.h"
#include "meter/meter_state.h"
#include "meter/position_table.h"
#include "platform/buffer_done_event.h"
#include "platform/clock.h"
#include "platform/locale.h"
#include "platform/screens.h"
#include "platform/shell.h"
#include "platform/ui.h"
#include "platform/wave_in.h"
#include "raster/bitmap32.h"
#include "settings/meter_settings.h"
#include "setup/setup_host.h"
#include "update/display_update.h"

namespace tarnvale {

class TImage32;
class TForm2;
class TForm3;

// The meter window: start-up, the capture buffers, placement, mouse and
// keyboard, and the window state saved when it closes.
class TForm1 final : public QWidget, public DisplayHost, public SetupHost, private RecoveryView {
 public:
  struct Services {
    WaveIn& waveIn;
    Ui& ui;
    Clock& clock;
    Locale& locale;
    Screens& screens;
    Shell& shell;
    std::string dataFolder;  // ends with "/"
  };

  // Runs FormCreate: the whole start-up, up to capture running.
  explicit TForm1(Services services);
  ~TForm1() override;

  // The setup dialog and the recovery window, created after this window.
  void setDialogs(TForm2* form2, TForm3* form3);
  // Or made by this window when first needed: most of the program's widgets
  // are theirs, and a meter left running never opens either.
  void makeDialogsWhenNeeded();

  void FormCreate();
  void FormShow();
  // Placement and the restore of the dialog's live fields: at the first show,
  // after the setup dialog closes and after input-loss recovery ends.
  void FormActivate();
  void setTopmost(bool on) override;
  void Image1MouseDown(Qt::MouseButton button);
  void Image1DblClick();
  void FormKeyUp(int key);
  bool FormCloseQuery() const { return true; }
  void FormClose();
  void runSetupDialog();
  void helpAction() override;

  // SetupHost
  std::vector<std::string> captureDeviceNames() override;
  void redrawMeterDisplay() override;
  void drawMeterLabel() override;
  void applyMeterDisplaySize() override;
  void rebuildColourTable() override;
  void loadMeterSkin(const std::string& path) override;
  void switchCaptureDevice(std::int32_t newIndex) override;
  WindowPosition meterWindowPosition() const override;
  std::int32_t captureBufferBytes() const override;
  void requestDcCapture() override;
  void setSetupDialogOpen(bool open) override;
  void quitApplication() override;
  bool topmost() const { return topmost_; }

  // DisplayHost
  void setCaption(const std::string& caption) override;
  void setDisplaySize(int width, int height) override;
  void setClientSize(int width, int height) override;

  TImage32* Image1;
  TBitmap32 workBitmap;
  MeterSettings settings;
  MeterState meterState;
  DisplayState displayState;
  ColourTable colourTable{};
  PositionTable positionTable{};
  CaptureState captureState;
  bool dcCapturePending = false;
  // Set once start-up has started capture (a bad decay text stops it before).
  bool captureStarted = false;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  // RecoveryView, forwarded to the recovery window once it exists.
  void showRecovery() override;
  void closeRecovery() override;
  void setProgress(int position) override;

  void applyTopmost(bool on);
  TForm2* setupDialog();
  void processBuffer(const std::int16_t* samples, std::int32_t frameCount);
  void updateShapeMask();
  SkinContext skinContext();

  Services services_;
  BufferDonePoster poster_;
  TForm2* form2_ = nullptr;
  TForm3* form3_ = nullptr;
  std::unique_ptr<CaptureContext> capture_;
  // The device list as the setup dialog last showed it.
  std::vector<std::string> listedNames_;
  bool topmost_ = false;
  bool ending_ = false;  // Exit Program asked the application to end
  bool dragArmed_ = false;
  QPoint dragOffset_;  // pointer minus window position at the press
  DisplayCopy displayCopy_;
  DrawnBars drawnBars_;
  // Runs of key-colour pixels, row by row, as last applied to the window shape.
  std::vector<int> keyRuns_;
  std::vector<int> scanRuns_;  // reused, so the scan allocates nothing per buffer
  // What the measurement reads and writes while the setup dialog is not made yet.
  PlainMeasurementFields fieldsBeforeDialog_;
  bool dialogsWhenNeeded_ = false;
  // Last: gone before what they refer to.
  std::unique_ptr<TForm2> ownForm2_;
  std::unique_ptr<TForm3> ownForm3_;
};

}  // namespace tarnvale
