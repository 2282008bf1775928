#include "capture/capture_cycle.h"

#include <algorithm>
#include <exception>

#include "capture/capture_texts.h"
#include "platform/process.h"
#include "settings/ring_length.h"
#include "settings/settings_file.h"

namespace tarnvale {

namespace {

[[noreturn]] void fail(CaptureContext& context, const char* message, const char* caption) {
  context.ui.showMessage(message, caption);
  endProcess();
}

// Tells the user the configured device is unusable, stores device 0 and ends.
// A failed write of the settings file is shown as any uncaught error would
// be; the program ends either way, since capture cannot run.
[[noreturn]] void resetDeviceAndEnd(CaptureContext& context) {
  try {
    resetDeviceSetting(context.settings, context.dataFolder, context.ui, context.setTopmost);
  } catch (const std::exception& error) {
    context.ui.showMessage(error.what(), kApplicationTitle);
  }
  endProcess();
}

WaveFormat captureFormat(std::int32_t sampleRate) {
  WaveFormat format;
  format.samplesPerSec = static_cast<std::uint32_t>(sampleRate);
  format.avgBytesPerSec = static_cast<std::uint32_t>(sampleRate) * 4u;
  return format;
}

// A buffer for `bufferBytes`, a spare one where it is large enough. The
// block is never smaller than bufferBytes, whatever rate a hand-edited file
// asks for; a fresh one starts silent, and a buffer cut short by a reset is
// made silent past what was recorded when it comes back (silenceUnrecorded).
CaptureBuffer& allocateBuffer(CaptureState& state) {
  const auto size = static_cast<std::size_t>(std::max(kDataBlockBytes, state.bufferBytes));
  std::unique_ptr<CaptureBuffer> buffer;
  if (!state.spare.empty() && state.spare.back()->block.size() >= size) {
    buffer = std::move(state.spare.back());
    state.spare.pop_back();
    buffer->header = WaveHeader{};
    buffer->device = kNoWaveIn;
  } else {
    buffer = std::make_unique<CaptureBuffer>();
    buffer->block.assign(size, 0);
  }
  buffer->header.data = buffer->block.data();
  buffer->header.bufferLength = static_cast<std::uint32_t>(std::max(state.bufferBytes, 0));
  state.outstanding.push_back(std::move(buffer));
  return *state.outstanding.back();
}

void releaseBuffer(CaptureState& state, const CaptureBuffer* buffer) {
  const auto it = std::find_if(state.outstanding.begin(), state.outstanding.end(),
                               [buffer](const auto& b) { return b.get() == buffer; });
  if (it == state.outstanding.end()) return;
  if (state.spare.size() < static_cast<std::size_t>(kBuffersInCirculation)) {
    state.spare.push_back(std::move(*it));
  }
  state.outstanding.erase(it);
}

// What the device did not record reads as silence, as in a fresh buffer.
void silenceUnrecorded(CaptureBuffer& buffer, std::int32_t bytes) {
  const auto end = static_cast<std::size_t>(std::max(bytes, 0));
  const std::size_t recorded = std::min<std::size_t>(buffer.header.bytesRecorded, end);
  if (recorded < end) std::fill(buffer.block.begin() + recorded, buffer.block.begin() + end, 0);
}

CaptureBuffer* findBuffer(CaptureState& state, const WaveHeader* header) {
  for (auto& buffer : state.outstanding) {
    if (&buffer->header == header) return buffer.get();
  }
  return nullptr;
}

// Closes given-up devices once none of their buffers is out any more.
void closeDrainedDevices(CaptureContext& context, CaptureState& state) {
  std::erase_if(state.abandoned, [&](WaveInHandle device) {
    const bool busy = std::any_of(state.outstanding.begin(), state.outstanding.end(),
                                  [device](const auto& b) { return b->device == device; });
    if (busy) return false;
    context.waveIn.close(device);
    return true;
  });
}

}  // namespace

void resetDeviceSetting(const MeterSettings& settings, const std::string& dataFolder, Ui& ui,
                        const std::function<void(bool)>& setTopmost) {
  setTopmost(false);
  ui.showMessage(kDeviceResetMessage, kCaptureErrorCaption);
  setTopmost(settings.onTop);
  saveDefaultDevice(dataFolder);
}

void stopCurrentCapture(CaptureContext& context, CaptureState& state) {
  if (state.waveInHandle == kNoWaveIn) return;
  context.waveIn.reset(state.waveInHandle);
  state.abandoned.push_back(state.waveInHandle);
  state.waveInHandle = kNoWaveIn;
}

std::vector<std::string> listedNames(WaveIn& waveIn, int count) {
  std::vector<std::string> names;
  for (int device = 0; device < count; ++device) {
    std::string name;
    if (waveIn.deviceName(device, name) != kWaveOk) name.clear();
    names.push_back(name);
  }
  return names;
}

int findInputDevice(CaptureContext& context) {
  const int count = context.waveIn.deviceCount();
  // A server that cannot be reached has not lost its devices: look again later.
  if (count == WaveIn::kDevicesUnknown) return -1;
  if (count <= 0) fail(context, kNoInputDeviceMessage, kPlainErrorCaption);

  std::vector<std::string> names = listedNames(context.waveIn, count);
  for (std::string& name : names) name = withoutLeadingBlanks(name);
  const std::string& wanted = context.settings.deviceName;
  if (wanted.empty()) return 0;
  int found = -1;
  for (int device = 0; device < count; ++device) {
    if (names[static_cast<std::size_t>(device)] == wanted) found = device;
  }
  return found;
}

bool startCapture(CaptureContext& context, CaptureState& state) {
  state.bufferBytes = bufferBytesFor(context.settings.sampleRate);
  const WaveFormat format = captureFormat(context.settings.sampleRate);
  const int device = context.settings.deviceIndex;

  context.normalizeTopmosts();
  const WaveResult query = context.waveIn.queryFormat(device, format);
  if (query == kWaveDeviceLost) {
    context.restoreTopmosts();
    return false;
  }
  if (query == kWaveBadFormat) {
    context.ui.showMessage(kWaveFormatErrorMessage, kCaptureErrorCaption);
  }
  if (query != kWaveOk) resetDeviceAndEnd(context);

  WaveInHandle handle = kNoWaveIn;
  const WaveResult opened = context.waveIn.open(device, format, context.receiver, handle);
  if (opened == kWaveDeviceLost) {
    context.restoreTopmosts();
    return false;
  }
  if (opened != kWaveOk) {
    context.ui.showMessage(kSoundcardNotAvailableMessage, kCaptureErrorCaption);
    resetDeviceAndEnd(context);
  }
  context.restoreTopmosts();
  state.waveInHandle = handle;
  if (context.waveIn.deviceName(device, state.deviceName) != kWaveOk) state.deviceName.clear();

  // A device lost on the way is recovered from like any other loss; the
  // buffers already queued come back through its reset.
  state.buffersQueued = 0;
  for (int i = 0; i < kBuffersInCirculation; ++i) {
    CaptureBuffer& buffer = allocateBuffer(state);
    buffer.device = handle;
    const WaveResult prepared = context.waveIn.prepare(handle, &buffer.header);
    if (prepared == kWaveDeviceLost) {
      releaseBuffer(state, &buffer);
      return false;
    }
    if (prepared != kWaveOk) fail(context, kPrepareErrorMessage, kCaptureErrorCaption);
    const WaveResult added = context.waveIn.add(handle, &buffer.header);
    if (added == kWaveDeviceLost) {
      releaseBuffer(state, &buffer);
      return false;
    }
    if (added != kWaveOk) fail(context, kAddBufferErrorMessage, kCaptureErrorCaption);
    ++state.buffersQueued;
  }
  const WaveResult started = context.waveIn.start(handle);
  if (started == kWaveDeviceLost) return false;
  if (started != kWaveOk) fail(context, kStartErrorMessage, kCaptureErrorCaption);
  return true;
}

void onCaptureBuffer(CaptureContext& context, CaptureState& state, WaveInHandle device,
                     WaveHeader* header) {
  CaptureBuffer* buffer = findBuffer(state, header);
  // Not one of ours (already handled): nothing to measure or replace.
  if (buffer == nullptr) return;

  --state.buffersQueued;
  // Unprepared with the device it was queued on; after a restart that is no
  // longer the current one.
  if (context.waveIn.unprepare(device, header) != kWaveOk) {
    fail(context, kUnprepareErrorMessage, kCaptureErrorCaption);
  }

  // Measured over the fixed buffer length, never past the block.
  const std::int32_t bytes =
      std::min(state.bufferBytes, static_cast<std::int32_t>(buffer->block.size()));
  silenceUnrecorded(*buffer, bytes);
  context.processBuffer(reinterpret_cast<const std::int16_t*>(buffer->block.data()), bytes / 4);
  releaseBuffer(state, buffer);
  closeDrainedDevices(context, state);

  // Buffers handed back while recovery runs, or with no device running, are
  // only measured: the device is gone, and recovery alone reopens it.
  if (state.recovering || state.waveInHandle == kNoWaveIn) return;

  CaptureBuffer& replacement = allocateBuffer(state);
  replacement.device = state.waveInHandle;
  if (context.waveIn.prepare(state.waveInHandle, &replacement.header) != kWaveOk) {
    releaseBuffer(state, &replacement);
    recoverInput(context, state);
    return;
  }
  const WaveResult added = context.waveIn.add(state.waveInHandle, &replacement.header);
  if (added == kWaveDeviceLost) {
    // Gone between prepare and add: a loss like any other.
    releaseBuffer(state, &replacement);
    recoverInput(context, state);
    return;
  }
  if (added != kWaveOk) fail(context, kAddBufferError2Message, kPlainErrorCaption);
  ++state.buffersQueued;
}

void restartCapture(CaptureContext& context, CaptureState& state, std::int32_t newIndex) {
  context.settings.deviceIndex = newIndex;
  // Recovery opens the chosen device itself, by the name the dialog stores:
  // opened here too, it would run twice.
  if (state.recovering) return;
  stopCurrentCapture(context, state);
  // A device no longer listed (-1) is looked for like a lost one.
  if (newIndex < 0 || !startCapture(context, state)) recoverInput(context, state);
}

void recoverInput(CaptureContext& context, CaptureState& state) {
  state.recovering = true;
  int attempts = 0;
  int progress = 0;
  stopCurrentCapture(context, state);
  context.setTopmost(false);
  context.recovery.showRecovery();

  for (;;) {
    // Each attempt waits first, dispatching events all the while, and opens
    // what it found at once: nothing else can list devices in between.
    int found = -1;
    while (found == -1 && attempts <= kRecoveryAttemptLimit) {
      context.dispatchEventsFor(kRecoveryAttemptMs);
      found = findInputDevice(context);
      ++attempts;
      ++progress;
      context.recovery.setProgress(std::min(progress, 100));
      if (progress > 100) progress = 0;
    }
    if (attempts > kRecoveryAttemptLimit) endProcess();

    context.setTopmost(context.settings.onTop);
    context.recovery.closeRecovery();
    context.settings.deviceIndex = found;
    if (startCapture(context, state)) break;
    // Gone again while it was being opened: keep looking.
    stopCurrentCapture(context, state);
    context.setTopmost(false);
    context.recovery.showRecovery();
  }
  state.recovering = false;
}

}  // namespace tarnvale
