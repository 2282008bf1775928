#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/wave_in.h"

namespace tarnvale {

// Wave input from the desktop sound server through the PulseAudio client API
// (PipeWire's PulseAudio service too). Every source of the server is a device,
// monitors of outputs included: the default source first, then an entry that
// follows whatever output is the default (kDefaultOutputMonitor), then the
// others in the server's order.
//
// The client runs on the calling thread's GLib main context, the one Qt's
// event loop dispatches on Linux: no thread of its own and no locks. Samples
// are copied into the queued buffers and full buffers handed to the receiver
// when the server's data is dispatched, so a buffer costs one wake-up of that
// thread. Nothing here waits on the server, except waitForDeviceList and
// runUntil, which dispatch the context while they wait.
//
// A lost server connection is made again in the background, every
// kRetryMs; meanwhile the device list is unknown.
class PulseWaveIn final : public WaveIn {
 public:
  static constexpr std::uint32_t kRetryMs = 100;
  // The entry that records whatever plays on the default output, and moves
  // to another output's monitor when the default output changes.
  static constexpr char kDefaultOutputMonitor[] = "Monitor of default output";
  // sourceName() of that entry.
  static constexpr char kDefaultOutputMonitorSource[] = "@DEFAULT_MONITOR@";

  // Connects in the background to the server the environment names
  // (PULSE_SERVER) or to the user's default one.
  PulseWaveIn();
  // Queued buffers are not returned: the receivers may be gone by now.
  ~PulseWaveIn() override;
  PulseWaveIn(const PulseWaveIn&) = delete;
  PulseWaveIn& operator=(const PulseWaveIn&) = delete;

  bool waitForDeviceList(std::uint32_t timeoutMs) override;
  int deviceCount() override;
  WaveResult deviceName(int device, std::string& name) override;
  WaveResult queryFormat(int device, const WaveFormat& format) override;
  WaveResult open(int device, const WaveFormat& format, WaveInReceiver& receiver,
                  WaveInHandle& handle) override;
  WaveResult prepare(WaveInHandle handle, WaveHeader* header) override;
  WaveResult add(WaveInHandle handle, WaveHeader* header) override;
  WaveResult unprepare(WaveInHandle handle, WaveHeader* header) override;
  WaveResult start(WaveInHandle handle) override;
  WaveResult reset(WaveInHandle handle) override;
  WaveResult close(WaveInHandle handle) override;

  // Dispatches the main context until `done` or the timeout; what `done`
  // said last. For tools and tests that have no event loop of their own.
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  // For diagnostics and measurement tools: the server's transfer size for an
  // open handle (0 if unknown), the bytes it recorded while it had no buffer
  // queued, the server's own name of a listed device, and of the source an
  // open handle records.
  std::uint32_t fragmentBytes(WaveInHandle handle);
  std::uint64_t droppedBytes(WaveInHandle handle);
  std::string sourceName(int device);
  std::string recordedSource(WaveInHandle handle);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarnvale
