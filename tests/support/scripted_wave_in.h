#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "platform/wave_in.h"

namespace tarnvale::test {

enum class WaveOp {
  WaitForList,
  DeviceCount,
  DeviceName,
  QueryFormat,
  Open,
  Prepare,
  Add,
  Unprepare,
  Start,
  Reset,
  Close
};

// One call made to the scripted wave input, with what it answered.
struct WaveCall {
  WaveOp op;
  WaveInHandle handle = kNoWaveIn;  // for Open: the handle it gave, if any
  int device = -1;
  WaveHeader* header = nullptr;
  WaveResult result = kWaveOk;
  bool operator==(const WaveCall&) const = default;
};

// A wave input the test drives: its devices are a list of names the test
// changes at will, any operation fails on demand, and buffers fill only when
// the test delivers them. Buffers go to the receiver at once, on the test's
// thread (through a BufferDonePoster they then arrive as posted events, as
// from the real one). It checks headers as strictly as the real one.
class ScriptedWaveIn final : public WaveIn {
 public:
  // Device names by index; clipped to kMaxNameLength when read, like a real
  // device list. An empty list means no device: deviceCount() is 0.
  std::vector<std::string> devices;
  // No server to ask: the list is unknown, and opening finds the device lost.
  bool unreachable = false;
  // Every call, in order.
  std::vector<WaveCall> calls;

  // The operation answers `result` the next time it is called, or every time
  // until clearFailures(). A one-time failure is used before a standing one.
  void failOnce(WaveOp op, WaveResult result) { failOnce_[op].push_back(result); }
  void failAlways(WaveOp op, WaveResult result) { failAlways_[op] = result; }
  void clearFailures();

  // The device behind the handle is gone: its queued buffers come back (as
  // they do from the real one), and prepare, add and start fail from now on
  // with kWaveDeviceLost.
  void lose(WaveInHandle handle);
  // Like lose, but the queued buffers stay until reset: the loss shows only
  // in the calls made after it.
  void loseQuietly(WaveInHandle handle);
  // Fills the handle's oldest queued buffer with the frames given, repeated
  // up to the buffer's length, and hands it back. False (nothing happens) if
  // the handle is not capturing or has no buffer queued.
  bool deliver(WaveInHandle handle, std::span<const std::int16_t> samples);

  std::size_t queued(WaveInHandle handle) const;
  bool started(WaveInHandle handle) const;
  // The device index the handle was opened on, -1 if no such handle.
  int deviceOf(WaveInHandle handle) const;
  // The handle of the latest successful open, kNoWaveIn if none.
  WaveInHandle lastOpened() const { return lastOpened_; }
  std::size_t countOf(WaveOp op) const;

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

 private:
  struct Open {
    int device = -1;
    WaveInReceiver* receiver = nullptr;
    std::deque<WaveHeader*> queue;
    bool started = false;
    bool lost = false;
  };

  // The injected failure for this call, if any.
  bool injected(WaveOp op, WaveResult& result);
  WaveResult record(WaveCall call);
  void handBack(WaveInHandle handle, Open& open);
  bool validDevice(int device) const;

  std::map<WaveOp, std::deque<WaveResult>> failOnce_;
  std::map<WaveOp, WaveResult> failAlways_;
  std::map<WaveInHandle, Open> opens_;
  WaveInHandle nextHandle_ = 1;
  WaveInHandle lastOpened_ = kNoWaveIn;
};

}  // namespace tarnvale::test
