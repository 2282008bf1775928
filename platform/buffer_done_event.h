#pragma once

#include <QEvent>

#include "platform/wave_in.h"

class QObject;

namespace tarnvale {

// A capture buffer that came back from the wave input, delivered as a posted
// event so that the window handles it in its own event loop.
class BufferDoneEvent final : public QEvent {
 public:
  static QEvent::Type eventType();

  BufferDoneEvent(WaveInHandle handle, WaveHeader* header)
      : QEvent(eventType()), handle_(handle), header_(header) {}
  WaveInHandle handle() const { return handle_; }
  WaveHeader* header() const { return header_; }

 private:
  WaveInHandle handle_;
  WaveHeader* header_;
};

// Posts every returned buffer to a target object as a BufferDoneEvent. Runs on
// the wave input's thread and never waits for the target's; events reach the
// target in the order they were posted. The target must outlive the handles
// this receiver serves.
class BufferDonePoster final : public WaveInReceiver {
 public:
  explicit BufferDonePoster(QObject* target) : target_(target) {}
  void bufferDone(WaveInHandle handle, WaveHeader* header) override;

 private:
  QObject* target_;
};

}  // namespace tarnvale
