#pragma once

#include "platform/process.h"

namespace tarnvale::test {

// Thrown in place of ending the process.
struct ProcessEnded {};

// While alive, endProcess() throws ProcessEnded instead of exiting, so a test
// can check what happened up to the end.
class EndProcessTrap {
 public:
  EndProcessTrap() : previous_(setEndProcessHandler([] { throw ProcessEnded{}; })) {}
  ~EndProcessTrap() { setEndProcessHandler(std::move(previous_)); }
  EndProcessTrap(const EndProcessTrap&) = delete;
  EndProcessTrap& operator=(const EndProcessTrap&) = delete;

 private:
  EndProcessHandler previous_;
};

}  // namespace tarnvale::test
