#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "settings/settings_file.h"

namespace tarnvale {

// What the setup dialog asks of the meter window. Everything runs on the UI
// thread while the dialog is shown or as it closes.
class SetupHost {
 public:
  virtual ~SetupHost() = default;
  // The capture devices' names as the platform lists them, in index order.
  virtual std::vector<std::string> captureDeviceNames() = 0;
  virtual void setTopmost(bool on) = 0;
  virtual void redrawMeterDisplay() = 0;
  virtual void drawMeterLabel() = 0;
  virtual void applyMeterDisplaySize() = 0;
  virtual void rebuildColourTable() = 0;
  virtual void loadMeterSkin(const std::string& path) = 0;
  // Resets the running device and starts capture on `newIndex`.
  virtual void switchCaptureDevice(std::int32_t newIndex) = 0;
  virtual void helpAction() = 0;
  virtual WindowPosition meterWindowPosition() const = 0;
  virtual std::int32_t captureBufferBytes() const = 0;
  // The next analysed buffer measures the DC offsets.
  virtual void requestDcCapture() = 0;
  virtual void setSetupDialogOpen(bool open) = 0;
  // Ends the program through its normal shutdown, once the dialog has closed.
  virtual void quitApplication() = 0;
};

}  // namespace tarnvale
