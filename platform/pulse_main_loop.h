#pragma once

#include <pulse/mainloop-api.h>

#include <chrono>
#include <functional>
#include <memory>

namespace tarnvale {

// The PulseAudio client's main-loop interface on the calling thread's GLib
// main context (the one Qt's event loop dispatches on Linux).
//
// Why not the adapter libpulse ships: it keeps its descriptors in its own
// GLib source, and GLib takes a source's descriptors out of the poll set
// around every dispatch of it and puts them back after, each time waking the
// context (an eventfd write). Here the descriptors belong to the context
// itself and an enable or disable only changes the events asked for, so a
// buffer from the server costs no extra wake-up.
//
// Callbacks run from the context's dispatch on the owning thread; they must
// not run a nested event loop (no PulseAudio callback here ever waits).
class PulseMainLoop {
 public:
  PulseMainLoop();
  // Frees the events libpulse left (their destroy callbacks run).
  ~PulseMainLoop();
  PulseMainLoop(const PulseMainLoop&) = delete;
  PulseMainLoop& operator=(const PulseMainLoop&) = delete;

  pa_mainloop_api* api();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Dispatches the calling thread's default GLib context until `done` or the
// timeout; what `done` said last. For tools and tests that have no event
// loop of their own.
bool dispatchUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

}  // namespace tarnvale
