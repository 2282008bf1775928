#include "platform/process.h"

#include <cstdlib>
#include <utility>

namespace tarnvale {

namespace {
EndProcessHandler& handlerSlot() {
  static EndProcessHandler handler;
  return handler;
}
}  // namespace

void endProcess() {
  if (auto& handler = handlerSlot()) handler();
  std::_Exit(0);
}

EndProcessHandler setEndProcessHandler(EndProcessHandler handler) {
  return std::exchange(handlerSlot(), std::move(handler));
}

}  // namespace tarnvale
