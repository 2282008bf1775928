#include "app/form1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegion>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <exception>

#include "app/app_texts.h"
#include "app/placement.h"
#include "capture/capture_texts.h"
#include "capture/form3.h"
#include "meter/ballistics.h"
#include "platform/data_folder.h"
#include "platform/process.h"
#include "raster/image32.h"
#include "settings/number_text.h"
#include "settings/ring_length.h"
#include "settings/settings_file.h"
#include "setup/form2.h"
#include "update/buffer_cycle.h"

namespace tarnvale {

namespace {

// The window keeps these flags whatever its border: no minimise or maximise.
Qt::WindowFlags meterWindowFlags(bool borderless) {
  if (borderless) return Qt::Window | Qt::FramelessWindowHint;
  return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
         Qt::WindowCloseButtonHint;
}

// Settings as they stand before the file is read; the load replaces each.
void giveStartValues(MeterSettings& s, const std::string& dataFolder) {
  s.barWidth = 20;
  s.offsetLeft = s.offsetRight = 0;
  s.onTop = s.amber = s.vertical = s.colouredPeaks = true;
  s.showAverage = s.showPhase = s.blend = s.holdPeaks = s.borderless = false;
  s.clipLevelDb = -0.5;
  s.channelMode = storedValue(ChannelMode::Stereo);
  s.readoutMode = storedValue(ReadoutMode::None);
  s.sizePercent = 100;
  s.holdResetMs = 2000;
  s.averageTimeMs = 300;
  s.avgRingLength = 9;
  s.redStart = 53;
  s.amberStart = 32;
  s.topColor = 0x00FF0000;
  s.midColor = 0x00FDD802;
  s.baseColor = 0x00C0C000;
  s.peakColor = 0x00FFFFFF;
  s.labelFont = LabelFont{"Arial", 12, 0xFFFFFF, 1};
  s.graphicPath = defaultSkinPath(dataFolder);
}

constexpr std::uint32_t kKeyColour = 0x400040;  // red 64, green 0, blue 64

// How long start-up waits for the sound server's device list before it treats
// the input as lost and recovers once the window shows.
constexpr std::uint32_t kStartupListWaitMs = 1000;

// Posted when capture could not start because the device was lost on the
// way: recovery needs the message loop and the recovery window.
QEvent::Type recoverEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

// Dispatches events until `ms` have passed.
void dispatchEventsFor(std::uint32_t ms) {
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(ms), &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

TForm1::TForm1(Services services)
    : QWidget(nullptr), services_(std::move(services)), poster_(this) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("VU"));
  Image1 = new TImage32(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->move(0, 0);
  Image1->installEventFilter(this);
  // The shape is scanned again only when key-colour pixels came or went.
  Image1->WatchColour(kKeyColour, [this] { updateShapeMask(); });
  setFocusPolicy(Qt::StrongFocus);

  capture_ = std::make_unique<CaptureContext>(CaptureContext{
      services_.waveIn, poster_, services_.ui, services_.clock, settings, services_.dataFolder,
      *this, [this](bool on) { setTopmost(on); }, [this] { applyTopmost(false); },
      [this] { applyTopmost(settings.onTop); }, &dispatchEventsFor,
      [this](const std::int16_t* samples, std::int32_t frames) {
        processBuffer(samples, frames);
      }});
  FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::setDialogs(TForm2* form2, TForm3* form3) {
  form2_ = form2;
  form3_ = form3;
}

void TForm1::makeDialogsWhenNeeded() {
  dialogsWhenNeeded_ = true;
}

TForm2* TForm1::setupDialog() {
  if (form2_ != nullptr || !dialogsWhenNeeded_) return form2_;
  ownForm2_ =
      std::make_unique<TForm2>(TForm2::Services{settings, *this, services_.ui, services_.locale,
                                                services_.shell, services_.dataFolder},
                               this);
  form2_ = ownForm2_.get();
  // Its fields take over from the ones the measurement used meanwhile.
  const PlainMeasurementFields& kept = fieldsBeforeDialog_;
  form2_->Edit1->setText(QString::fromStdString(kept.calibration));
  form2_->Edit2->setText(QString::fromStdString(kept.decay));
  form2_->setCalibrationFieldRed(kept.calibrationRed);
  form2_->setDecayFieldRed(kept.decayRed);
  form2_->setHeadroomText(kept.headroom);
  form2_->setDcOffsetTexts(kept.dcOffsetLeft, kept.dcOffsetRight);
  return form2_;
}

SkinContext TForm1::skinContext() {
  return SkinContext{workBitmap, settings, displayState, services_.dataFolder, services_.ui, *this};
}

void TForm1::FormCreate() {
  // 1. The work bitmap shares the display's draft resampler.
  workBitmap.SetResampler(Image1->Bitmap().Resampler());
  // 3. Run-time start values.
  meterState.peakholdL = meterState.peakholdR = 0;
  displayState = DisplayState{};
  meterState.lastReadoutTick = services_.clock.tickCount();
  giveStartValues(settings, services_.dataFolder);
  // 5.-7.
  loadSettings(settings, services_.dataFolder, services_.locale);
  buildColourTable(colourTable, settings);
  captureState.bufferBytes = bufferBytesFor(settings.sampleRate);
  meterState.avgRingPos = meterState.phaseRingPos = 0;
  meterState.avgHistoryLeft.fill(0);
  meterState.avgHistoryRight.fill(0);
  meterState.phaseHistory.fill(0);
  // 8. The border is decided once, here.
  setWindowFlags(meterWindowFlags(settings.borderless));

  // 9.-10. A capture device must exist; the configured one is found by name.
  // A server that cannot be reached yet is no proof of that: capture then
  // starts through recovery, which waits for the server.
  services_.waveIn.waitForDeviceList(kStartupListWaitMs);
  const int count = services_.waveIn.deviceCount();
  if (count <= 0 && count != WaveIn::kDevicesUnknown) {
    services_.ui.showMessage(kNoInputDeviceMessage, kPlainErrorCaption);
    endProcess();
  }
  if (settings.deviceName.empty()) {
    settings.deviceIndex = 0;
  } else if (count > 0) {
    settings.deviceIndex = findInputDevice(*capture_);
    if (settings.deviceIndex == -1) {
      services_.ui.showMessage(
          kInputDeviceNotFoundStart + settings.deviceName + kInputDeviceNotFoundEnd,
          kPlainErrorCaption);
      settings.deviceIndex = 0;
    }
  }

  // 11.
  SkinContext skin = skinContext();
  redrawDisplay(skin);

  // 12. A decay text that is not a whole number (a hand-edited file) stops
  // start-up here, as any uncaught error would: the skin shows, capture does not run.
  if (settings.calibrationText.empty()) settings.calibrationText = " 0";
  if (settings.decayText.empty()) settings.decayText = "2";
  const auto decay = parseInteger(settings.decayText);
  if (!decay) {
    services_.ui.showMessage("'" + settings.decayText + "' is not a valid integer value",
                             kApplicationTitle);
    return;
  }
  meterState.decayStep = *decay;
  // 13.-15.
  meterState.peakL = meterState.peakR = 0;
  if (!startCapture(*capture_, captureState)) {
    stopCurrentCapture(*capture_, captureState);
    QCoreApplication::postEvent(this, new QEvent(recoverEventType()));
  }
  captureStarted = true;
  buildPositionTable(positionTable);
}

void TForm1::FormShow() {
  setTopmost(settings.onTop);
  // Placed here, as it is shown, rather than when it gets the focus: a window
  // manager need not give a new window the focus at all.
  FormActivate();
}

void TForm1::FormActivate() {
  if (form2_ != nullptr) {
    form2_->Edit1->setText(QString::fromStdString(settings.calibrationText));
    form2_->Edit2->setText(QString::fromStdString(settings.decayText));
  } else {
    fieldsBeforeDialog_.calibration = settings.calibrationText;
    fieldsBeforeDialog_.decay = settings.decayText;
  }
  // The checks need only the window's outer size, so it moves once, straight
  // to where they put it.
  const QRect outer = frameGeometry();
  const WindowPlace place = placeWindow(settings.windowLeft, settings.windowTop, outer.width(),
                                        outer.height(), services_.screens.workAreas());
  move(place.left, place.top);
}

void TForm1::applyTopmost(bool on) {
  topmost_ = on;
  // On the native window the flag changes in place; through the widget it
  // would hide and re-create the window.
  if (QWindow* window = windowHandle(); window != nullptr && window->isVisible()) {
    window->setFlag(Qt::WindowStaysOnTopHint, on);
  } else {
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
  }
}

void TForm1::setTopmost(bool on) {
  applyTopmost(on);
  raise();
  activateWindow();
}

void TForm1::Image1MouseDown(Qt::MouseButton button) {
  if (button == Qt::LeftButton) {
    // The window follows the pointer while the button is held. Moving it
    // ourselves works under any window manager and leaves the double click ours.
    dragArmed_ = true;
  } else if (button == Qt::RightButton) {
    runSetupDialog();
  }
}

void TForm1::Image1DblClick() {
  resetHolds(meterState);
}

void TForm1::FormKeyUp(int key) {
  if (key == Qt::Key_F1) helpAction();
}

void TForm1::helpAction() {
  const std::string path = services_.dataFolder + kHelpDocument;
  if (!services_.shell.openDocument(path)) {
    services_.ui.showMessage(kHelpNotFound + path, kVuMeterErrorCaption);
  }
}

void TForm1::FormClose() {
  try {
    saveWindowState(settings, services_.dataFolder, WindowPosition{x(), y()});
  } catch (const std::exception&) {
    services_.ui.showMessage(
        std::string(kSaveOnCloseFailedStart) + services_.dataFolder + kSaveOnCloseFailedEnd,
        kLevelMeterErrorCaption);
  }
}

void TForm1::runSetupDialog() {
  if (setupDialog() == nullptr) return;
  form2_->runSetupDialog();
  // The focus comes back from the dialog: back to the start-up place, and the
  // dialog's live fields back to their stored texts. Not on the way out.
  if (!ending_) FormActivate();
}

std::vector<std::string> TForm1::captureDeviceNames() {
  listedNames_ = listedNames(services_.waveIn, services_.waveIn.deviceCount());
  // Devices come and go and the default moves to the top: the index of the
  // device being metered is its place in this list.
  const auto metered = std::find(listedNames_.begin(), listedNames_.end(), captureState.deviceName);
  if (!captureState.deviceName.empty() && metered != listedNames_.end()) {
    settings.deviceIndex = static_cast<std::int32_t>(metered - listedNames_.begin());
  }
  return listedNames_;
}

void TForm1::redrawMeterDisplay() {
  redrawDisplay(skinContext());
}

void TForm1::drawMeterLabel() {
  drawLabel(skinContext());
}

void TForm1::applyMeterDisplaySize() {
  applyDisplaySize(skinContext());
}

void TForm1::rebuildColourTable() {
  buildColourTable(colourTable, settings);
}

void TForm1::loadMeterSkin(const std::string& path) {
  loadSkin(skinContext(), path);
}

void TForm1::switchCaptureDevice(std::int32_t newIndex) {
  // The index is one of the list the dialog showed; the device is found by
  // its name in the list as it stands now, and looked for by recovery if it
  // went away meanwhile.
  if (newIndex >= 0 && static_cast<std::size_t>(newIndex) < listedNames_.size()) {
    settings.deviceName = withoutLeadingBlanks(listedNames_[static_cast<std::size_t>(newIndex)]);
    newIndex = findInputDevice(*capture_);
  }
  restartCapture(*capture_, captureState, newIndex);
}

WindowPosition TForm1::meterWindowPosition() const {
  return WindowPosition{x(), y()};
}

std::int32_t TForm1::captureBufferBytes() const {
  return captureState.bufferBytes;
}

void TForm1::requestDcCapture() {
  dcCapturePending = true;
}

void TForm1::setSetupDialogOpen(bool open) {
  displayState.setupDialogOpen = open;
}

void TForm1::quitApplication() {
  // Ends the event loop without the meter window's own close handling, which
  // would save the window state a second time: QCoreApplication::quit() closes
  // every window first, exit() does not.
  ending_ = true;
  QCoreApplication::exit(0);
}

void TForm1::setCaption(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
}

void TForm1::setDisplaySize(int width, int height) {
  Image1->resize(width, height);
  Image1->Bitmap().SetSize(width, height);
  updateShapeMask();
}

void TForm1::setClientSize(int width, int height) {
  setFixedSize(width, height);
}

void TForm1::showRecovery() {
  if (form3_ == nullptr && dialogsWhenNeeded_) {
    ownForm3_ = std::make_unique<TForm3>(this);
    ownForm3_->setWindowFlag(Qt::Window);
    form3_ = ownForm3_.get();
  }
  if (form3_ != nullptr) form3_->showRecovery();
}

void TForm1::closeRecovery() {
  if (form3_ != nullptr) form3_->closeRecovery();
  // The focus comes back from the recovery window.
  FormActivate();
}

void TForm1::setProgress(int position) {
  if (form3_ != nullptr) form3_->setProgress(position);
}

void TForm1::processBuffer(const std::int16_t* samples, std::int32_t frameCount) {
  MeasurementFields& fields =
      form2_ != nullptr ? static_cast<MeasurementFields&>(*form2_) : fieldsBeforeDialog_;
  tarnvale::processBuffer(
      samples, frameCount, meterState,
      BufferCycleContext{settings, dcCapturePending, positionTable, fields, services_.clock,
                         services_.locale, workBitmap, Image1->Bitmap(), colourTable, displayState,
                         &displayCopy_, &drawnBars_});
}

void TForm1::updateShapeMask() {
  // Key-colour pixels are not part of the window: neither drawn nor clicked.
  // The shape is only set again when they moved.
  const TBitmap32& shown = Image1->Bitmap();
  std::vector<int>& runs = scanRuns_;
  runs.clear();
  for (int y = 0; y < shown.Height(); ++y) {
    const TColor32* row = shown.ScanLine(y);
    for (int x = 0; x < shown.Width();) {
      if ((row[x] & 0x00FFFFFF) != kKeyColour) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < shown.Width() && (row[x] & 0x00FFFFFF) == kKeyColour) ++x;
      runs.insert(runs.end(), {y, start, x});
    }
  }
  if (runs == keyRuns_) return;
  keyRuns_.swap(runs);
  if (keyRuns_.empty()) {
    clearMask();
    return;
  }
  QRegion shape(0, 0, std::max(width(), shown.Width()), std::max(height(), shown.Height()));
  QRegion holes;
  for (std::size_t i = 0; i < keyRuns_.size(); i += 3) {
    holes += QRect(keyRuns_[i + 1], keyRuns_[i], keyRuns_[i + 2] - keyRuns_[i + 1], 1);
  }
  setMask(shape - holes);
}

bool TForm1::event(QEvent* e) {
  if (e->type() == BufferDoneEvent::eventType()) {
    const auto* done = static_cast<BufferDoneEvent*>(e);
    onCaptureBuffer(*capture_, captureState, done->handle(), done->header());
    return true;
  }
  if (e->type() == recoverEventType()) {
    // Unless a returned buffer started recovery first.
    if (captureState.waveInHandle == kNoWaveIn && !captureState.recovering) {
      recoverInput(*capture_, captureState);
    }
    return true;
  }
  return QWidget::event(e);
}

bool TForm1::eventFilter(QObject* watched, QEvent* e) {
  if (watched == Image1) {
    switch (e->type()) {
      case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(e);
        dragOffset_ = mouse->globalPosition().toPoint() - pos();
        Image1MouseDown(mouse->button());
        return true;
      }
      case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(e);
        if (dragArmed_ && (mouse->buttons() & Qt::LeftButton)) {
          move(mouse->globalPosition().toPoint() - dragOffset_);
        }
        return true;
      }
      case QEvent::MouseButtonRelease:
        dragArmed_ = false;
        return true;
      case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
          Image1DblClick();
          dragOffset_ = static_cast<QMouseEvent*>(e)->globalPosition().toPoint() - pos();
          dragArmed_ = true;  // the second press of a double click drags too
        }
        return true;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, e);
}

void TForm1::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (!e->spontaneous()) FormShow();
}

void TForm1::closeEvent(QCloseEvent* e) {
  if (!FormCloseQuery()) {
    e->ignore();
    return;
  }
  FormClose();
  e->accept();
}

void TForm1::keyReleaseEvent(QKeyEvent* e) {
  if (!e->isAutoRepeat()) FormKeyUp(e->key());
  QWidget::keyReleaseEvent(e);
}

}  // namespace tarnvale
