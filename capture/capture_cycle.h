#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/ui.h"
#include "platform/wave_in.h"
#include "settings/meter_settings.h"

namespace tarnvale {

inline constexpr int kBuffersInCirculation = 3;
// The data block of every buffer: large enough for 33 ms at every offered rate.
inline constexpr std::int32_t kDataBlockBytes = 12929;
inline constexpr int kRecoveryAttemptLimit = 300;
inline constexpr std::uint32_t kRecoveryAttemptMs = 100;

// One capture buffer: the header the device sees and the data block it fills.
struct CaptureBuffer {
  WaveHeader header;
  std::vector<char> block;
  WaveInHandle device = kNoWaveIn;  // the device it was queued with
};

// The recovery window: shown while a lost device is looked for.
class RecoveryView {
 public:
  virtual ~RecoveryView() = default;
  virtual void showRecovery() = 0;
  virtual void closeRecovery() = 0;
  virtual void setProgress(int position) = 0;
};

// What the capture cycle works with. All of it is used on the UI thread.
struct CaptureContext {
  WaveIn& waveIn;
  WaveInReceiver& receiver;  // posts returned buffers to the meter window
  Ui& ui;
  Clock& clock;
  MeterSettings& settings;
  std::string dataFolder;
  RecoveryView& recovery;
  // The meter window into or out of the always-on-top layer.
  std::function<void(bool)> setTopmost;
  // Lowers the application's topmost windows around a message box, and back.
  std::function<void()> normalizeTopmosts;
  std::function<void()> restoreTopmosts;
  // Dispatches window messages for the given milliseconds: the recovery loop's
  // wait between attempts, which keeps the windows and the sound server's
  // client alive.
  std::function<void(std::uint32_t)> dispatchEventsFor;
  // Measures and draws one buffer: calibration, analysis, clip latch,
  // ballistics, display update.
  std::function<void(const std::int16_t* samples, std::int32_t frameCount)> processBuffer;
};

// The open device and the buffers in circulation.
struct CaptureState {
  WaveInHandle waveInHandle = kNoWaveIn;
  std::int32_t buffersQueued = 0;
  std::int32_t bufferBytes = 0;
  bool recovering = false;
  // The listed name of the device capture was last started on: the device
  // being metered, whatever index it has in a later list.
  std::string deviceName;
  // Every buffer handed to a device and not yet back; owned here so nothing
  // leaks whichever way the process ends.
  std::vector<std::unique_ptr<CaptureBuffer>> outstanding;
  // Buffers back and measured, kept for the next ones: a buffer a cycle
  // would otherwise be allocated and cleared.
  std::vector<std::unique_ptr<CaptureBuffer>> spare;
  // Devices given up by a restart or recovery, closed once their buffers are back.
  std::vector<WaveInHandle> abandoned;
};

// Tells the user the configured device cannot be used, out of the
// always-on-top layer so the message is not hidden, and stores device 0 in the
// settings file. Throws SettingsWriteError.
void resetDeviceSetting(const MeterSettings& settings, const std::string& dataFolder, Ui& ui,
                        const std::function<void(bool)>& setTopmost);

// The names of devices 0 to count-1, as listed; empty for one that has none.
std::vector<std::string> listedNames(WaveIn& waveIn, int count);

// Ends capture on the current device, if any: it is reset, its buffers come
// back (and are measured), and it is closed once they are all back.
void stopCurrentCapture(CaptureContext& context, CaptureState& state);

// Index of the device named deviceName (leading blanks ignored, case kept,
// the last match wins), 0 for an empty name, -1 if none matches or the list
// cannot be known (no sound server to ask). With no device at all it tells
// the user and ends the program.
int findInputDevice(CaptureContext& context);

// Opens device deviceIndex and starts it with three buffers. True once it
// runs; false if the device was lost while starting, which the caller
// recovers from. Every other failure tells the user and ends the program.
bool startCapture(CaptureContext& context, CaptureState& state);

// Handles one buffer the device gave back: measure it, release it, queue a
// replacement; a replacement that cannot be prepared starts recovery.
void onCaptureBuffer(CaptureContext& context, CaptureState& state, WaveInHandle device,
                     WaveHeader* header);

// Switches to another device: the current one is reset (its buffers come back
// and are still measured) and capture starts on `newIndex`; -1, a device no
// longer listed, is looked for by recovery. While recovery runs it only sets
// the index: recovery opens the device it finds by name.
void restartCapture(CaptureContext& context, CaptureState& state, std::int32_t newIndex);

// Looks for the lost device ten times a second; returns once capture runs
// again, or ends the program after 301 attempts.
void recoverInput(CaptureContext& context, CaptureState& state);

}  // namespace tarnvale
