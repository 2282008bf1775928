#include <benchmark/benchmark.h>
#include <glib.h>
#include <pulse/glib-mainloop.h>
#include <unistd.h>

#include <memory>

#include "platform/pulse_main_loop.h"

namespace {

struct Wake {
  bool seen = false;
};

void onReadable(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* userdata) {
  char byte;
  if (::read(fd, &byte, 1) == 1) static_cast<Wake*>(userdata)->seen = true;
}

// One wake-up of the main context by a descriptor the sound-server client
// watches, as for every buffer from the server, and whatever that dispatch
// leaves pending. 0: the GLib adapter libpulse ships; 1: ours.
void BM_PulseLoopWake(benchmark::State& state) {
  int fds[2];
  if (::pipe(fds) != 0) {
    state.SkipWithError("no pipe");
    return;
  }
  pa_glib_mainloop* shipped = nullptr;
  std::unique_ptr<tarnvale::PulseMainLoop> own;
  pa_mainloop_api* api = nullptr;
  if (state.range(0) == 0) {
    shipped = pa_glib_mainloop_new(nullptr);
    api = pa_glib_mainloop_get_api(shipped);
  } else {
    own = std::make_unique<tarnvale::PulseMainLoop>();
    api = own->api();
  }
  Wake wake;
  pa_io_event* event = api->io_new(api, fds[0], PA_IO_EVENT_INPUT, &onReadable, &wake);
  std::int64_t iterations = 0;
  for (auto _ : state) {
    wake.seen = false;
    if (::write(fds[1], "x", 1) != 1) break;
    while (!wake.seen) {
      g_main_context_iteration(nullptr, TRUE);
      ++iterations;
    }
    while (g_main_context_iteration(nullptr, FALSE)) ++iterations;
  }
  state.counters["iterations_per_wake"] =
      benchmark::Counter(static_cast<double>(iterations), benchmark::Counter::kAvgIterations);
  api->io_free(event);
  own.reset();
  if (shipped != nullptr) pa_glib_mainloop_free(shipped);
  ::close(fds[0]);
  ::close(fds[1]);
}
BENCHMARK(BM_PulseLoopWake)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
