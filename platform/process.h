#pragma once

#include <functional>

namespace tarnvale {

// Ends the process at once with exit code 0, without saving anything.
// Tests install a handler that unwinds instead; if a handler returns, the
// process still ends.
[[noreturn]] void endProcess();

using EndProcessHandler = std::function<void()>;
// Returns the handler it replaces; an empty handler restores the real end.
EndProcessHandler setEndProcessHandler(EndProcessHandler handler);

}  // namespace tarnvale
