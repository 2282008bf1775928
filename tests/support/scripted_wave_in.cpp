#include "tests/support/scripted_wave_in.h"

#include <algorithm>
#include <cstring>

namespace tarnvale::test {

void ScriptedWaveIn::clearFailures() {
  failOnce_.clear();
  failAlways_.clear();
}

bool ScriptedWaveIn::injected(WaveOp op, WaveResult& result) {
  if (auto once = failOnce_.find(op); once != failOnce_.end() && !once->second.empty()) {
    result = once->second.front();
    once->second.pop_front();
    return true;
  }
  if (auto always = failAlways_.find(op); always != failAlways_.end()) {
    result = always->second;
    return true;
  }
  return false;
}

WaveResult ScriptedWaveIn::record(WaveCall call) {
  calls.push_back(call);
  return call.result;
}

bool ScriptedWaveIn::validDevice(int device) const {
  return device >= 0 && static_cast<std::size_t>(device) < devices.size();
}

void ScriptedWaveIn::handBack(WaveInHandle handle, Open& open) {
  while (!open.queue.empty()) {
    WaveHeader* header = open.queue.front();
    open.queue.pop_front();
    header->flags = (header->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
    open.receiver->bufferDone(handle, header);
  }
}

void ScriptedWaveIn::lose(WaveInHandle handle) {
  auto it = opens_.find(handle);
  if (it == opens_.end() || it->second.lost) return;
  it->second.lost = true;
  it->second.started = false;
  handBack(handle, it->second);
}

void ScriptedWaveIn::loseQuietly(WaveInHandle handle) {
  auto it = opens_.find(handle);
  if (it == opens_.end()) return;
  it->second.lost = true;
  it->second.started = false;
}

bool ScriptedWaveIn::deliver(WaveInHandle handle, std::span<const std::int16_t> samples) {
  auto it = opens_.find(handle);
  if (it == opens_.end() || !it->second.started || it->second.queue.empty()) return false;
  Open& open = it->second;
  WaveHeader* header = open.queue.front();
  open.queue.pop_front();
  const std::size_t patternBytes = samples.size_bytes();
  for (std::uint32_t at = 0; at < header->bufferLength && patternBytes > 0;) {
    const auto take = std::min<std::size_t>(patternBytes, header->bufferLength - at);
    std::memcpy(header->data + at, samples.data(), take);
    at += static_cast<std::uint32_t>(take);
  }
  header->bytesRecorded = header->bufferLength;
  header->flags = (header->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
  open.receiver->bufferDone(handle, header);
  return true;
}

std::size_t ScriptedWaveIn::queued(WaveInHandle handle) const {
  auto it = opens_.find(handle);
  return it == opens_.end() ? 0 : it->second.queue.size();
}

bool ScriptedWaveIn::started(WaveInHandle handle) const {
  auto it = opens_.find(handle);
  return it != opens_.end() && it->second.started;
}

int ScriptedWaveIn::deviceOf(WaveInHandle handle) const {
  auto it = opens_.find(handle);
  return it == opens_.end() ? -1 : it->second.device;
}

std::size_t ScriptedWaveIn::countOf(WaveOp op) const {
  return static_cast<std::size_t>(
      std::count_if(calls.begin(), calls.end(), [op](const WaveCall& c) { return c.op == op; }));
}

bool ScriptedWaveIn::waitForDeviceList(std::uint32_t) {
  calls.push_back({WaveOp::WaitForList});
  return !unreachable;
}

int ScriptedWaveIn::deviceCount() {
  calls.push_back({WaveOp::DeviceCount});
  return unreachable ? kDevicesUnknown : static_cast<int>(devices.size());
}

WaveResult ScriptedWaveIn::deviceName(int device, std::string& name) {
  WaveCall call{WaveOp::DeviceName, kNoWaveIn, device};
  if (!injected(call.op, call.result)) {
    if (!validDevice(device)) {
      call.result = kWaveBadDeviceId;
    } else {
      name = clipDeviceName(devices[static_cast<std::size_t>(device)]);
    }
  }
  return record(call);
}

WaveResult ScriptedWaveIn::queryFormat(int device, const WaveFormat& format) {
  WaveCall call{WaveOp::QueryFormat, kNoWaveIn, device};
  if (!injected(call.op, call.result)) {
    if (unreachable)
      call.result = kWaveDeviceLost;
    else if (!validDevice(device))
      call.result = kWaveBadDeviceId;
    else if (!isStereo16Pcm(format))
      call.result = kWaveBadFormat;
  }
  return record(call);
}

WaveResult ScriptedWaveIn::open(int device, const WaveFormat& format, WaveInReceiver& receiver,
                                WaveInHandle& handle) {
  WaveCall call{WaveOp::Open, kNoWaveIn, device};
  if (!injected(call.op, call.result)) {
    if (unreachable) {
      call.result = kWaveDeviceLost;
    } else if (!validDevice(device)) {
      call.result = kWaveBadDeviceId;
    } else if (!isStereo16Pcm(format)) {
      call.result = kWaveBadFormat;
    } else {
      call.handle = handle = lastOpened_ = nextHandle_++;
      opens_[handle] = Open{device, &receiver, {}, false, false};
    }
  }
  return record(call);
}

WaveResult ScriptedWaveIn::prepare(WaveInHandle handle, WaveHeader* header) {
  WaveCall call{WaveOp::Prepare, handle, deviceOf(handle), header};
  if (!injected(call.op, call.result)) {
    auto it = opens_.find(handle);
    if (it == opens_.end())
      call.result = kWaveInvalidHandle;
    else if (header == nullptr || header->data == nullptr || header->bufferLength == 0)
      call.result = kWaveInvalidParam;
    else if ((header->flags & kWaveHeaderInQueue) != 0)
      call.result = kWaveStillQueued;
    else if (it->second.lost)
      call.result = kWaveDeviceLost;
    else
      header->flags |= kWaveHeaderPrepared;
  }
  return record(call);
}

WaveResult ScriptedWaveIn::add(WaveInHandle handle, WaveHeader* header) {
  WaveCall call{WaveOp::Add, handle, deviceOf(handle), header};
  if (!injected(call.op, call.result)) {
    auto it = opens_.find(handle);
    if (it == opens_.end()) {
      call.result = kWaveInvalidHandle;
    } else if (header == nullptr) {
      call.result = kWaveInvalidParam;
    } else if ((header->flags & kWaveHeaderPrepared) == 0) {
      call.result = kWaveUnprepared;
    } else if ((header->flags & kWaveHeaderInQueue) != 0) {
      call.result = kWaveStillQueued;
    } else if (it->second.lost) {
      call.result = kWaveDeviceLost;
    } else {
      header->bytesRecorded = 0;
      header->flags = (header->flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
      it->second.queue.push_back(header);
    }
  }
  return record(call);
}

WaveResult ScriptedWaveIn::unprepare(WaveInHandle handle, WaveHeader* header) {
  WaveCall call{WaveOp::Unprepare, handle, deviceOf(handle), header};
  if (!injected(call.op, call.result)) {
    // As with the real one, a buffer may come back from another handle.
    if (opens_.find(handle) == opens_.end())
      call.result = kWaveInvalidHandle;
    else if (header == nullptr)
      call.result = kWaveInvalidParam;
    else if ((header->flags & kWaveHeaderInQueue) != 0)
      call.result = kWaveStillQueued;
    else
      header->flags &= ~kWaveHeaderPrepared;
  }
  return record(call);
}

WaveResult ScriptedWaveIn::start(WaveInHandle handle) {
  WaveCall call{WaveOp::Start, handle, deviceOf(handle)};
  if (!injected(call.op, call.result)) {
    auto it = opens_.find(handle);
    if (it == opens_.end())
      call.result = kWaveInvalidHandle;
    else if (it->second.lost)
      call.result = kWaveDeviceLost;
    else
      it->second.started = true;
  }
  return record(call);
}

WaveResult ScriptedWaveIn::reset(WaveInHandle handle) {
  WaveCall call{WaveOp::Reset, handle, deviceOf(handle)};
  if (!injected(call.op, call.result)) {
    auto it = opens_.find(handle);
    if (it == opens_.end()) {
      call.result = kWaveInvalidHandle;
    } else {
      it->second.started = false;
      // Recorded before the buffers come back, so that a receiver looking at
      // the calls sees the reset first.
      record(call);
      handBack(handle, it->second);
      return call.result;
    }
  }
  return record(call);
}

WaveResult ScriptedWaveIn::close(WaveInHandle handle) {
  WaveCall call{WaveOp::Close, handle, deviceOf(handle)};
  if (!injected(call.op, call.result)) {
    auto it = opens_.find(handle);
    if (it == opens_.end())
      call.result = kWaveInvalidHandle;
    else if (!it->second.queue.empty())
      call.result = kWaveStillQueued;
    else
      opens_.erase(it);
  }
  return record(call);
}

}  // namespace tarnvale::test
