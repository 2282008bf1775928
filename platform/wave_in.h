#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnvale {

// Result of every wave-input operation: 0 is success, 32 an unsupported format,
// anything else a failure.
using WaveResult = std::uint32_t;
inline constexpr WaveResult kWaveOk = 0;
inline constexpr WaveResult kWaveError = 1;
inline constexpr WaveResult kWaveBadDeviceId = 2;
inline constexpr WaveResult kWaveInvalidHandle = 5;
// The device went away (unplugged, or the server cannot be reached): what
// input-loss recovery is for, unlike the other failures.
inline constexpr WaveResult kWaveDeviceLost = 6;
inline constexpr WaveResult kWaveInvalidParam = 11;
inline constexpr WaveResult kWaveBadFormat = 32;
inline constexpr WaveResult kWaveStillQueued = 33;
inline constexpr WaveResult kWaveUnprepared = 34;

// An open capture device; 0 is none.
using WaveInHandle = std::uint32_t;
inline constexpr WaveInHandle kNoWaveIn = 0;

// The capture format record. Only 16-bit stereo PCM is supported.
struct WaveFormat {
  std::uint16_t formatTag = 1;  // PCM
  std::uint16_t channels = 2;
  std::uint32_t samplesPerSec = 0;
  std::uint32_t avgBytesPerSec = 0;
  std::uint16_t blockAlign = 4;
  std::uint16_t bitsPerSample = 16;
  std::uint16_t extraSize = 0;
};

// True when every field describes 16-bit stereo PCM at the record's own rate;
// whether the rate itself is accepted is up to the implementation.
bool isStereo16Pcm(const WaveFormat& format);

// Header flags, kept by the implementation.
inline constexpr std::uint32_t kWaveHeaderDone = 0x01;
inline constexpr std::uint32_t kWaveHeaderPrepared = 0x02;
inline constexpr std::uint32_t kWaveHeaderInQueue = 0x10;

// One capture buffer. The caller owns the header and its data block; between
// add and the buffer's return the implementation writes into at most
// bufferLength bytes of data and sets bytesRecorded.
struct WaveHeader {
  char* data = nullptr;
  std::uint32_t bufferLength = 0;
  std::uint32_t bytesRecorded = 0;
  std::uintptr_t userData = 0;
  std::uint32_t flags = 0;
  std::uint32_t loops = 0;
};

// Told of every buffer that comes back: filled, or returned by reset or by the
// loss of the device, in the order the buffers were added. Called wherever the
// implementation takes in the server's data (the sound-server input: the
// caller's thread, from its event loop; a test feeder: a thread of its own),
// or from within reset on the caller's; either way it must not wait for
// anything: a receiver only hands the buffer over (posts it) and returns.
class WaveInReceiver {
 public:
  virtual ~WaveInReceiver() = default;
  virtual void bufferDone(WaveInHandle handle, WaveHeader* header) = 0;
};

// Wave audio input: capture devices listed by index, each opened for 16-bit
// stereo PCM and fed with caller-owned buffers. All operations are called from
// one thread, never from a receiver, and none of them waits on a server.
//
// An index names a device of the list as it stood at the last deviceCount():
// deviceName, queryFormat and open use that list, so what a caller found by
// name is what it opens, however the server's devices change meanwhile.
class WaveIn {
 public:
  // Longest device name, in characters (Unicode code points).
  static constexpr std::size_t kMaxNameLength = 31;
  // deviceCount() while the list cannot be known (no server to ask).
  static constexpr int kDevicesUnknown = -1;

  virtual ~WaveIn() = default;

  // Waits at most timeoutMs for the device list to be known; true once it
  // is. For start-up, before any window shows.
  virtual bool waitForDeviceList(std::uint32_t timeoutMs) = 0;
  // Number of capture devices: 0 when there is none, kDevicesUnknown while
  // the list cannot be known. Takes the list that indices refer to from now on.
  virtual int deviceCount() = 0;
  // The device's name, at most kMaxNameLength characters, unique in the list.
  virtual WaveResult deviceName(int device, std::string& name) = 0;
  // kWaveOk if the device can capture in this format, kWaveBadFormat if not.
  virtual WaveResult queryFormat(int device, const WaveFormat& format) = 0;
  // Opens the device, stopped; the receiver is told of every buffer of the
  // handle until the handle is closed, and must outlive it. kWaveDeviceLost
  // if the device is gone since it was listed.
  virtual WaveResult open(int device, const WaveFormat& format, WaveInReceiver& receiver,
                          WaveInHandle& handle) = 0;
  // Fails (kWaveDeviceLost) once the device is gone: that is how a caller
  // learns of the loss. add and start fail the same way.
  virtual WaveResult prepare(WaveInHandle handle, WaveHeader* header) = 0;
  // Queues a prepared buffer; it stays the caller's to keep alive until it
  // comes back through the receiver.
  virtual WaveResult add(WaveInHandle handle, WaveHeader* header) = 0;
  virtual WaveResult unprepare(WaveInHandle handle, WaveHeader* header) = 0;
  virtual WaveResult start(WaveInHandle handle) = 0;
  // Stops capture and hands back every queued buffer, in order, with what it
  // holds so far; start resumes.
  virtual WaveResult reset(WaveInHandle handle) = 0;
  // Fails with kWaveStillQueued while buffers are queued.
  virtual WaveResult close(WaveInHandle handle) = 0;
};

// The first kMaxNameLength code points of a UTF-8 name; never cuts inside a
// multi-byte sequence.
std::string clipDeviceName(std::string_view name);

// A device as the server describes it: what users read, and the server's own
// name for it, which stays the same across restarts.
struct DeviceLabel {
  std::string description;
  std::string key;
};

// The names a device list shows, in its order: each description fitted into
// kMaxNameLength code points (a long one keeps its start and its end, where
// devices of one maker differ), and names still equal then told apart by
// " #2", " #3"... in the order of their keys. A name thus depends only on the
// devices present, not on their order or on which is the default.
std::vector<std::string> listedDeviceNames(const std::vector<DeviceLabel>& devices);

}  // namespace tarnvale
