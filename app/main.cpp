#include <QApplication>
#include <QIcon>
#include <memory>

#include "app/app_texts.h"
#include "app/form1.h"
#include "platform/clock.h"
#include "platform/pulse_wave_in.h"
#include "platform/qt_services.h"
#include "raster/system_colors.h"

int main(int argc, char** argv) {
  using namespace tarnvale;
  // The meter repaints a few small rectangles 30 times a second. Through X
  // shared memory every repaint first waits for the server to finish the
  // previous one; a plain image request is cheaper at these sizes.
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
  // Always an X11 window (through XWayland in a Wayland session): Wayland
  // gives a client no always-on-top layer and no say over its position.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
  // The sound server's client runs on GLib's main loop, so Qt's event loop
  // must be the GLib one.
  qunsetenv("QT_NO_GLIB");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
  QApplication::setWindowIcon(QIcon::fromTheme(QString::fromUtf8(kIconName)));
  installPaletteSystemColors();

  auto waveIn = std::make_unique<PulseWaveIn>();
  QtUi ui;
  SteadyClock clock;
  QtLocale locale;
  QtScreens screens;
  QtShell shell;

  auto form1 = std::make_unique<TForm1>(
      TForm1::Services{*waveIn, ui, clock, locale, screens, shell, TARNVALE_DATA_FOLDER});
  ui.setParentWindow(form1.get());
  form1->makeDialogsWhenNeeded();

  form1->show();
  const int result = QApplication::exec();
  // Its streams post to the meter window: gone first.
  waveIn.reset();
  return result;
}
