#include "platform/buffer_done_event.h"

#include <QCoreApplication>

namespace tarnvale {

QEvent::Type BufferDoneEvent::eventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

void BufferDonePoster::bufferDone(WaveInHandle handle, WaveHeader* header) {
  QCoreApplication::postEvent(target_, new BufferDoneEvent(handle, header));
}

}  // namespace tarnvale
