#include "platform/pulse_main_loop.h"

#include <glib.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <vector>

// What every event of the loop has: its callback, and whether it was freed.
template <typename Callback, typename Destroy>
struct PulseLoopEvent {
  tarnvale::PulseMainLoop::Impl* loop = nullptr;
  Callback callback = nullptr;
  void* userdata = nullptr;
  Destroy destroy = nullptr;
  bool dead = false;
};

// The event types libpulse leaves to each main-loop implementation.
struct pa_io_event : PulseLoopEvent<pa_io_event_cb_t, pa_io_event_destroy_cb_t> {
  GPollFD poll{};  // owned by the GLib context while the event lives
};

struct pa_time_event : PulseLoopEvent<pa_time_event_cb_t, pa_time_event_destroy_cb_t> {
  bool enabled = false;
  std::int64_t due = 0;  // on the monotonic clock, in microseconds
  timeval asked{};       // as given, handed back to the callback
};

struct pa_defer_event : PulseLoopEvent<pa_defer_event_cb_t, pa_defer_event_destroy_cb_t> {
  bool enabled = false;
};

namespace tarnvale {

namespace {

// libpulse marks a time on the monotonic clock with this bit of tv_usec;
// without it a time is wall-clock time.
constexpr std::int64_t kMonotonicFlag = std::int64_t{1} << 30;

gushort toGlib(pa_io_event_flags_t flags) {
  gushort events = 0;
  if ((flags & PA_IO_EVENT_INPUT) != 0) events |= G_IO_IN;
  if ((flags & PA_IO_EVENT_OUTPUT) != 0) events |= G_IO_OUT;
  if ((flags & PA_IO_EVENT_HANGUP) != 0) events |= G_IO_HUP;
  if ((flags & PA_IO_EVENT_ERROR) != 0) events |= G_IO_ERR;
  return events;
}

pa_io_event_flags_t fromGlib(gushort events) {
  int flags = PA_IO_EVENT_NULL;
  if ((events & G_IO_IN) != 0) flags |= PA_IO_EVENT_INPUT;
  if ((events & G_IO_OUT) != 0) flags |= PA_IO_EVENT_OUTPUT;
  if ((events & G_IO_HUP) != 0) flags |= PA_IO_EVENT_HANGUP;
  if ((events & (G_IO_ERR | G_IO_NVAL)) != 0) flags |= PA_IO_EVENT_ERROR;
  return static_cast<pa_io_event_flags_t>(flags);
}

std::int64_t monotonicDue(const timeval& tv) {
  const bool monotonic = (tv.tv_usec & kMonotonicFlag) != 0;
  const std::int64_t usec =
      static_cast<std::int64_t>(tv.tv_sec) * 1000000 + (tv.tv_usec & ~kMonotonicFlag);
  if (monotonic) return usec;
  return usec - g_get_real_time() + g_get_monotonic_time();
}

}  // namespace

struct PulseMainLoop::Impl {
  struct Source {
    GSource base;
    Impl* loop;
  };

  pa_mainloop_api api{};
  GMainContext* context = nullptr;
  Source* source = nullptr;
  std::vector<pa_io_event*> ios;
  std::vector<pa_time_event*> times;
  std::vector<pa_defer_event*> defers;
  int enabledDefers = 0;
  bool dispatching = false;
  bool anyDead = false;

  // --- the GLib source ---

  static gboolean prepare(GSource* base, gint* timeout) {
    Impl* self = reinterpret_cast<Source*>(base)->loop;
    *timeout = -1;
    if (self->enabledDefers > 0) {
      *timeout = 0;
      return TRUE;
    }
    const std::int64_t next = self->nextDue();
    if (next == INT64_MAX) return FALSE;
    const std::int64_t wait = next - g_source_get_time(base);
    if (wait <= 0) {
      *timeout = 0;
      return TRUE;
    }
    *timeout = static_cast<gint>(std::min<std::int64_t>((wait + 999) / 1000, INT_MAX));
    return FALSE;
  }

  static gboolean check(GSource* base) {
    Impl* self = reinterpret_cast<Source*>(base)->loop;
    if (self->enabledDefers > 0) return TRUE;
    for (const pa_io_event* e : self->ios) {
      if (!e->dead && e->poll.revents != 0) return TRUE;
    }
    return self->nextDue() <= g_source_get_time(base);
  }

  // As libpulse's own loop does: deferred calls alone while any is enabled,
  // and descriptors only from a poll made after them. A deferred call may
  // consume what the poll saw (the stream reads its socket there); told of
  // it anyway, libpulse stops watching a descriptor it finds empty.
  static gboolean dispatch(GSource* base, GSourceFunc, gpointer) {
    Impl* self = reinterpret_cast<Source*>(base)->loop;
    self->dispatching = true;
    if (self->enabledDefers > 0) {
      self->runDefers();
      for (pa_io_event* e : self->ios) e->poll.revents = 0;
    } else {
      self->runTimes(g_source_get_time(base));
      self->runIos();
    }
    self->dispatching = false;
    self->collect();
    return G_SOURCE_CONTINUE;
  }

  std::int64_t nextDue() const {
    std::int64_t next = INT64_MAX;
    for (const pa_time_event* e : times) {
      if (!e->dead && e->enabled) next = std::min(next, e->due);
    }
    return next;
  }

  // Events made during a pass wait for the next one: indexes, since a
  // callback may add to the lists.
  void runDefers() {
    const std::size_t count = defers.size();
    for (std::size_t i = 0; i < count && enabledDefers > 0; ++i) {
      pa_defer_event* e = defers[i];
      if (!e->dead && e->enabled) e->callback(&api, e, e->userdata);
    }
  }

  void runTimes(std::int64_t now) {
    const std::size_t count = times.size();
    for (std::size_t i = 0; i < count; ++i) {
      pa_time_event* e = times[i];
      if (e->dead || !e->enabled || e->due > now) continue;
      e->enabled = false;  // once; the callback may restart it
      e->callback(&api, e, &e->asked, e->userdata);
    }
  }

  void runIos() {
    const std::size_t count = ios.size();
    for (std::size_t i = 0; i < count; ++i) {
      pa_io_event* e = ios[i];
      // Only what is still asked for: an earlier callback of this pass may
      // have changed that since the poll.
      const gushort revents = e->poll.revents & (e->poll.events | G_IO_HUP | G_IO_ERR | G_IO_NVAL);
      e->poll.revents = 0;
      if (e->dead || revents == 0) continue;
      e->callback(&api, e, e->poll.fd, fromGlib(revents), e->userdata);
    }
  }

  // Freed events go once no pass is walking the lists.
  void collect() {
    if (dispatching || !anyDead) return;
    anyDead = false;
    reap(ios);
    reap(times);
    reap(defers);
  }

  template <typename Event>
  void reap(std::vector<Event*>& events) {
    std::vector<Event*> dead;
    std::erase_if(events, [&dead](Event* e) {
      if (e->dead) dead.push_back(e);
      return e->dead;
    });
    for (Event* e : dead) {
      if (e->destroy != nullptr) e->destroy(&api, e, e->userdata);
      delete e;
    }
  }

  static Impl* of(pa_mainloop_api* api) { return static_cast<Impl*>(api->userdata); }

  template <typename Event>
  Event* make(std::vector<Event*>& list, decltype(Event::callback) callback, void* userdata) {
    auto* e = new Event;
    e->loop = this;
    e->callback = callback;
    e->userdata = userdata;
    list.push_back(e);
    return e;
  }

  // Never called again; destroyed once no pass is walking the lists.
  template <typename Event>
  static void retire(Event* e) {
    e->dead = true;
    e->loop->anyDead = true;
    e->loop->collect();
  }

  template <typename Event>
  static void setDestroy(Event* e, decltype(Event::destroy) destroy) {
    e->destroy = destroy;
  }

  // --- descriptors ---

  static pa_io_event* ioNew(pa_mainloop_api* api, int fd, pa_io_event_flags_t flags,
                            pa_io_event_cb_t callback, void* userdata) {
    Impl* self = of(api);
    pa_io_event* e = self->make(self->ios, callback, userdata);
    e->poll.fd = fd;
    e->poll.events = toGlib(flags);
    g_main_context_add_poll(self->context, &e->poll, G_PRIORITY_DEFAULT);
    return e;
  }

  // GLib reads the events asked for each time it polls: nothing to tell it.
  static void ioEnable(pa_io_event* e, pa_io_event_flags_t flags) {
    e->poll.events = toGlib(flags);
  }

  static void ioFree(pa_io_event* e) {
    // Out of the poll set at once: libpulse may close the descriptor next.
    g_main_context_remove_poll(e->loop->context, &e->poll);
    retire(e);
  }

  // --- times ---

  static void setTime(pa_time_event* e, const timeval* tv) {
    e->enabled = tv != nullptr;
    if (tv == nullptr) return;
    e->asked = *tv;
    e->due = monotonicDue(*tv);
  }

  static pa_time_event* timeNew(pa_mainloop_api* api, const timeval* tv,
                                pa_time_event_cb_t callback, void* userdata) {
    Impl* self = of(api);
    pa_time_event* e = self->make(self->times, callback, userdata);
    setTime(e, tv);
    return e;
  }

  // --- deferred calls ---

  static pa_defer_event* deferNew(pa_mainloop_api* api, pa_defer_event_cb_t callback,
                                  void* userdata) {
    Impl* self = of(api);
    pa_defer_event* e = self->make(self->defers, callback, userdata);
    deferEnable(e, 1);
    return e;
  }

  static void deferEnable(pa_defer_event* e, int enable) {
    const bool on = enable != 0;
    if (e->enabled == on) return;
    e->enabled = on;
    e->loop->enabledDefers += on ? 1 : -1;
  }

  static void deferFree(pa_defer_event* e) {
    deferEnable(e, 0);
    retire(e);
  }

  static void quit(pa_mainloop_api*, int) {}
};

PulseMainLoop::PulseMainLoop() : impl_(std::make_unique<Impl>()) {
  static GSourceFuncs functions{&Impl::prepare, &Impl::check, &Impl::dispatch,
                                nullptr,        nullptr,      nullptr};
  Impl& d = *impl_;
  d.context = g_main_context_default();
  d.api = pa_mainloop_api{&d,
                          &Impl::ioNew,
                          &Impl::ioEnable,
                          &Impl::ioFree,
                          &Impl::setDestroy<pa_io_event>,
                          &Impl::timeNew,
                          &Impl::setTime,
                          &Impl::retire<pa_time_event>,
                          &Impl::setDestroy<pa_time_event>,
                          &Impl::deferNew,
                          &Impl::deferEnable,
                          &Impl::deferFree,
                          &Impl::setDestroy<pa_defer_event>,
                          &Impl::quit};
  d.source = reinterpret_cast<Impl::Source*>(g_source_new(&functions, sizeof(Impl::Source)));
  d.source->loop = &d;
  g_source_set_name(&d.source->base, "PulseAudio client");
  g_source_attach(&d.source->base, d.context);
}

PulseMainLoop::~PulseMainLoop() {
  Impl& d = *impl_;
  g_source_destroy(&d.source->base);
  g_source_unref(&d.source->base);
  for (pa_io_event* e : d.ios) {
    if (!e->dead) g_main_context_remove_poll(d.context, &e->poll);
    e->dead = true;
  }
  for (pa_time_event* e : d.times) e->dead = true;
  for (pa_defer_event* e : d.defers) e->dead = true;
  d.anyDead = true;
  d.collect();
}

pa_mainloop_api* PulseMainLoop::api() {
  return &impl_->api;
}

bool dispatchUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  GMainContext* context = g_main_context_default();
  bool expired = false;
  GSource* timer =
      g_timeout_source_new(static_cast<guint>(std::max<long long>(timeout.count(), 0)));
  g_source_set_callback(
      timer,
      [](gpointer flag) -> gboolean {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &expired, nullptr);
  g_source_attach(timer, context);
  while (!done() && !expired) g_main_context_iteration(context, TRUE);
  g_source_destroy(timer);
  g_source_unref(timer);
  return done();
}

}  // namespace tarnvale
