#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/wave_in.h"

namespace tarnvale {

// Wave input from the desktop sound server through the PulseAudio client API
// (PipeWire's PulseAudio service too). Every source of the server is a device,
// monitors of outputs included: the default source first, then the others in
// the server's order. The client library runs a thread of its own, which fills
// the queued buffers, calls the receivers and keeps the device list current;
// what it shares with the caller (the buffer queues, the device list, the
// connection state) is under one lock, the client library's.
//
// A lost server connection is made again in the background; meanwhile
// deviceCount waits up to kReconnectWaitMs for it.
class PulseWaveIn final : public WaveIn {
 public:
  static constexpr int kReconnectWaitMs = 3000;

  // Connects in the background to the server the environment names
  // (PULSE_SERVER) or to the user's default one.
  PulseWaveIn();
  // Queued buffers are not returned: the receivers may be gone by now.
  ~PulseWaveIn() override;
  PulseWaveIn(const PulseWaveIn&) = delete;
  PulseWaveIn& operator=(const PulseWaveIn&) = delete;

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

  // For diagnostics and measurement tools: the server's transfer size for an
  // open handle (0 if unknown), the bytes it recorded while it had no buffer
  // queued, and the server's own name of a device.
  std::uint32_t fragmentBytes(WaveInHandle handle);
  std::uint64_t droppedBytes(WaveInHandle handle);
  std::string sourceName(int device);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace tarnvale
