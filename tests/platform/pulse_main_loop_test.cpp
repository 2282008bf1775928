#include "platform/pulse_main_loop.h"

#include <fcntl.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tarnvale {
namespace {

bool runUntil(const std::function<bool()>& done, int ms) {
  return dispatchUntil(done, std::chrono::milliseconds(ms));
}

// Runs the context for `ms` whatever happens.
void runFor(int ms) {
  runUntil([] { return false; }, ms);
}

// The descriptors the default context would poll now.
std::vector<int> polledDescriptors() {
  GMainContext* context = g_main_context_default();
  std::vector<int> polled;
  if (!g_main_context_acquire(context)) return polled;
  gint priority = 0;
  g_main_context_prepare(context, &priority);
  std::vector<GPollFD> fds(64);
  gint timeout = 0;
  const gint count =
      g_main_context_query(context, priority, &timeout, fds.data(), static_cast<gint>(fds.size()));
  const gint listed = std::min(count, static_cast<gint>(fds.size()));
  for (gint i = 0; i < listed; ++i) polled.push_back(fds[static_cast<std::size_t>(i)].fd);
  // Not polled: only what was ready without a poll is dispatched.
  if (g_main_context_check(context, priority, fds.data(), listed)) {
    g_main_context_dispatch(context);
  }
  g_main_context_release(context);
  return polled;
}

bool polled(int fd) {
  const std::vector<int> fds = polledDescriptors();
  return std::find(fds.begin(), fds.end(), fd) != fds.end();
}

struct Pipe {
  int read = -1;
  int write = -1;
  Pipe() {
    int fds[2];
    if (::pipe(fds) == 0) {
      read = fds[0];
      write = fds[1];
    }
  }
  ~Pipe() {
    if (read >= 0) ::close(read);
    if (write >= 0) ::close(write);
  }
};

// What the callbacks saw, in order.
struct Log {
  std::vector<std::string> seen;
  pa_io_event_flags_t lastFlags = PA_IO_EVENT_NULL;
  int lastFd = -1;
  int count(const std::string& what) const {
    int n = 0;
    for (const auto& s : seen) n += s == what;
    return n;
  }
};

void onIo(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t flags, void* userdata) {
  auto* log = static_cast<Log*>(userdata);
  log->seen.push_back("io");
  log->lastFd = fd;
  log->lastFlags = flags;
  char byte;
  if ((flags & PA_IO_EVENT_INPUT) != 0) (void)::read(fd, &byte, 1);
}

timeval wallClockIn(int ms) {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  const long long usec = static_cast<long long>(tv.tv_usec) + ms * 1000LL;
  tv.tv_sec += static_cast<time_t>(usec / 1000000);
  tv.tv_usec = static_cast<suseconds_t>(usec % 1000000);
  return tv;
}

TEST(PulseMainLoop, DescriptorCallsOnlyForTheEventsAskedFor) {
  PulseMainLoop loop;
  pa_mainloop_api* api = loop.api();
  Pipe pipe;
  ASSERT_GE(pipe.read, 0);
  Log log;
  pa_io_event* in = api->io_new(api, pipe.read, PA_IO_EVENT_INPUT, &onIo, &log);

  runFor(20);
  EXPECT_TRUE(log.seen.empty()) << "called with nothing to read";

  ASSERT_EQ(::write(pipe.write, "a", 1), 1);
  ASSERT_TRUE(runUntil([&] { return !log.seen.empty(); }, 2000));
  EXPECT_EQ(log.lastFd, pipe.read);
  EXPECT_EQ(log.lastFlags, PA_IO_EVENT_INPUT);

  // Disabled, a readable descriptor is left alone; enabled again, it is
  // reported.
  api->io_enable(in, PA_IO_EVENT_NULL);
  ASSERT_EQ(::write(pipe.write, "b", 1), 1);
  runFor(30);
  EXPECT_EQ(log.count("io"), 1);
  api->io_enable(in, PA_IO_EVENT_INPUT);
  EXPECT_TRUE(runUntil([&] { return log.count("io") == 2; }, 2000));
  api->io_free(in);
  EXPECT_FALSE(polled(pipe.read)) << "still polled once freed";

  // The writing end: ready for output at once.
  Log out;
  pa_io_event* w = api->io_new(api, pipe.write, PA_IO_EVENT_OUTPUT, &onIo, &out);
  EXPECT_TRUE(runUntil([&] { return !out.seen.empty(); }, 2000));
  EXPECT_EQ(out.lastFlags, PA_IO_EVENT_OUTPUT);
  api->io_free(w);
}

TEST(PulseMainLoop, HangupIsReported) {
  PulseMainLoop loop;
  pa_mainloop_api* api = loop.api();
  Pipe pipe;
  ASSERT_GE(pipe.read, 0);
  ::close(pipe.write);
  pipe.write = -1;
  Log log;
  pa_io_event* e = api->io_new(api, pipe.read, PA_IO_EVENT_INPUT, &onIo, &log);
  ASSERT_TRUE(runUntil([&] { return !log.seen.empty(); }, 2000));
  EXPECT_NE(log.lastFlags & PA_IO_EVENT_HANGUP, 0);
  api->io_free(e);
}

struct TimeLog {
  std::vector<gint64> firedAt;
  timeval given{};
};

void onTime(pa_mainloop_api*, pa_time_event*, const timeval* tv, void* userdata) {
  auto* log = static_cast<TimeLog*>(userdata);
  log->firedAt.push_back(g_get_monotonic_time());
  log->given = *tv;
}

TEST(PulseMainLoop, TimesFireOnceWhenDueOnEitherClock) {
  PulseMainLoop loop;
  pa_mainloop_api* api = loop.api();

  struct Case {
    const char* clock;
    bool monotonic;
  };
  for (const Case& c : {Case{"wall clock", false}, Case{"monotonic clock", true}}) {
    SCOPED_TRACE(c.clock);
    TimeLog log;
    timeval when{};
    const gint64 start = g_get_monotonic_time();
    if (c.monotonic) {
      const gint64 due = start + 40000;
      when.tv_sec = static_cast<time_t>(due / 1000000);
      when.tv_usec = static_cast<suseconds_t>(due % 1000000) | (suseconds_t{1} << 30);
    } else {
      when = wallClockIn(40);
    }
    pa_time_event* e = api->time_new(api, &when, &onTime, &log);
    ASSERT_TRUE(runUntil([&] { return !log.firedAt.empty(); }, 2000));
    EXPECT_GE(log.firedAt[0] - start, 40000);
    EXPECT_EQ(log.given.tv_sec, when.tv_sec);
    EXPECT_EQ(log.given.tv_usec, when.tv_usec);
    runFor(60);
    EXPECT_EQ(log.firedAt.size(), 1u) << "fired again without a restart";

    // Restarted it fires again; restarted with no time it never does.
    const timeval again = wallClockIn(10);
    api->time_restart(e, &again);
    EXPECT_TRUE(runUntil([&] { return log.firedAt.size() == 2; }, 2000));
    const timeval soon = wallClockIn(5);
    api->time_restart(e, &soon);
    api->time_restart(e, nullptr);
    runFor(40);
    EXPECT_EQ(log.firedAt.size(), 2u);
    api->time_free(e);
  }
}

struct DeferLog {
  pa_mainloop_api* api = nullptr;
  int calls = 0;
  int stopAfter = 0;
  bool freeItself = false;
  int destroyed = 0;
};

void onDefer(pa_mainloop_api* api, pa_defer_event* e, void* userdata) {
  auto* log = static_cast<DeferLog*>(userdata);
  ++log->calls;
  if (log->calls < log->stopAfter) return;
  if (log->freeItself) {
    api->defer_free(e);
  } else {
    api->defer_enable(e, 0);
  }
}

void onDeferDestroyed(pa_mainloop_api*, pa_defer_event*, void* userdata) {
  ++static_cast<DeferLog*>(userdata)->destroyed;
}

TEST(PulseMainLoop, DeferredCallsRunUntilDisabledOrFreed) {
  PulseMainLoop loop;
  pa_mainloop_api* api = loop.api();

  DeferLog disabled{api, 0, 3, false, 0};
  pa_defer_event* d = api->defer_new(api, &onDefer, &disabled);
  api->defer_set_destroy(d, &onDeferDestroyed);
  ASSERT_TRUE(runUntil([&] { return disabled.calls == 3; }, 2000));
  runFor(20);
  EXPECT_EQ(disabled.calls, 3) << "ran while disabled";
  api->defer_enable(d, 1);
  EXPECT_TRUE(runUntil([&] { return disabled.calls == 4; }, 2000));

  // Freed from its own callback: never called again, destroyed once.
  DeferLog freed{api, 0, 2, true, 0};
  pa_defer_event* f = api->defer_new(api, &onDefer, &freed);
  api->defer_set_destroy(f, &onDeferDestroyed);
  ASSERT_TRUE(runUntil([&] { return freed.calls == 2; }, 2000));
  runFor(20);
  EXPECT_EQ(freed.calls, 2);
  EXPECT_EQ(freed.destroyed, 1);

  api->defer_free(d);
  EXPECT_EQ(disabled.destroyed, 1);
}

// A deferred call empties a descriptor the same poll saw readable: the
// descriptor is not then reported readable (libpulse, told so, would stop
// watching a descriptor it finds empty), and stays watched.
struct Drain {
  int fd = -1;
  int reads = 0;
  int emptyReads = 0;
};

void onIoCountingReads(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t,
                       void* userdata) {
  auto* drain = static_cast<Drain*>(userdata);
  char byte;
  if (::read(fd, &byte, 1) == 1) {
    ++drain->reads;
  } else {
    ++drain->emptyReads;
  }
}

void onDeferDraining(pa_mainloop_api* api, pa_defer_event* e, void* userdata) {
  char byte;
  (void)::read(static_cast<Drain*>(userdata)->fd, &byte, 1);
  api->defer_enable(e, 0);
}

TEST(PulseMainLoop, ADescriptorEmptiedByADeferredCallIsNotReportedReadable) {
  PulseMainLoop loop;
  pa_mainloop_api* api = loop.api();
  Pipe pipe;
  ASSERT_GE(pipe.read, 0);
  ASSERT_EQ(::fcntl(pipe.read, F_SETFL, O_NONBLOCK), 0);
  Drain drain{pipe.read};
  pa_io_event* in = api->io_new(api, pipe.read, PA_IO_EVENT_INPUT, &onIoCountingReads, &drain);
  ASSERT_EQ(::write(pipe.write, "a", 1), 1);
  pa_defer_event* d = api->defer_new(api, &onDeferDraining, &drain);
  runFor(30);
  EXPECT_EQ(drain.emptyReads, 0) << "reported readable with nothing to read";
  EXPECT_EQ(drain.reads, 0);
  ASSERT_EQ(::write(pipe.write, "b", 1), 1);
  EXPECT_TRUE(runUntil([&] { return drain.reads == 1; }, 2000));
  api->defer_free(d);
  api->io_free(in);
}

// One callback frees another event due in the same pass: the freed one is
// never called, and both are destroyed exactly once.
struct Pair {
  pa_mainloop_api* api = nullptr;
  pa_time_event* other = nullptr;
  int calls = 0;
  int destroyed = 0;
};

void onTimeFreeOther(pa_mainloop_api* api, pa_time_event* self, const timeval*, void* userdata) {
  auto* pair = static_cast<Pair*>(userdata);
  ++pair->calls;
  if (pair->other != nullptr) {
    api->time_free(pair->other);
    pair->other = nullptr;
  }
  api->time_free(self);
}

void onTimeDestroyed(pa_mainloop_api*, pa_time_event*, void* userdata) {
  ++static_cast<Pair*>(userdata)->destroyed;
}

TEST(PulseMainLoop, EventsFreedDuringAPassAreNotCalled) {
  PulseMainLoop loop;
  pa_mainloop_api* api = loop.api();
  Pair pair{api};
  const timeval past = wallClockIn(-5);
  pa_time_event* first = api->time_new(api, &past, &onTimeFreeOther, &pair);
  pa_time_event* second = api->time_new(api, &past, &onTimeFreeOther, &pair);
  api->time_set_destroy(first, &onTimeDestroyed);
  api->time_set_destroy(second, &onTimeDestroyed);
  pair.other = second;
  ASSERT_TRUE(runUntil([&] { return pair.destroyed == 2; }, 2000));
  runFor(20);
  EXPECT_EQ(pair.calls, 1);
}

TEST(PulseMainLoop, EventsLeftAreDestroyedWithTheLoop) {
  Pipe pipe;
  ASSERT_GE(pipe.read, 0);
  DeferLog log;
  Pair pair;
  {
    PulseMainLoop loop;
    pa_mainloop_api* api = loop.api();
    log.api = api;
    pa_defer_event* d = api->defer_new(api, &onDefer, &log);
    api->defer_enable(d, 0);
    api->defer_set_destroy(d, &onDeferDestroyed);
    pa_time_event* t = api->time_new(api, nullptr, &onTimeFreeOther, &pair);
    api->time_set_destroy(t, &onTimeDestroyed);
    Log io;
    api->io_new(api, pipe.read, PA_IO_EVENT_INPUT, &onIo, &io);
    EXPECT_TRUE(polled(pipe.read));
  }
  EXPECT_FALSE(polled(pipe.read)) << "the descriptor outlived its loop";
  EXPECT_EQ(log.destroyed, 1);
  EXPECT_EQ(pair.destroyed, 1);
  // The descriptor left the context's poll set: the context still runs.
  ASSERT_EQ(::write(pipe.write, "a", 1), 1);
  runFor(20);
  EXPECT_EQ(log.calls, 0);
}

}  // namespace
}  // namespace tarnvale
