#include "platform/pulse_wave_in.h"

#include <glib.h>
#include <pulse/glib-mainloop.h>
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <vector>

#include "platform/application.h"

namespace tarnvale {

namespace {

// Latency asked of the server: one capture buffer, so that each delivery
// fills about one buffer and the process wakes once per buffer.
constexpr std::uint32_t kFragmentMs = 33;
// How mixers and the desktop know the client.
constexpr char kApplicationId[] = "tarnvale";
constexpr char kStreamName[] = "Tarnvale capture";
// A meter watches what is produced; role policies leave such streams alone.
constexpr char kMediaRole[] = "production";
// PipeWire's PulseAudio service does not always tell a running client of a
// new default: while a stream follows the default output, the server is
// asked again this often.
constexpr pa_usec_t kFollowCheckUsec = 1000 * 1000;

struct Source {
  std::string name;
  std::string description;
  std::string monitorOf;  // the output it monitors, or empty
};

// Operations whose completion nobody waits for.
void forget(pa_operation* op) {
  if (op != nullptr) pa_operation_unref(op);
}

// Stops a stream and lets go of it; its callbacks are gone first.
void release(pa_stream* stream) {
  if (stream == nullptr) return;
  pa_stream_set_state_callback(stream, nullptr, nullptr);
  pa_stream_set_read_callback(stream, nullptr, nullptr);
  const pa_stream_state_t state = pa_stream_get_state(stream);
  if (state == PA_STREAM_READY || state == PA_STREAM_CREATING) pa_stream_disconnect(stream);
  pa_stream_unref(stream);
}

// Drops whatever the stream holds unread.
void drain(pa_stream* stream) {
  const void* data = nullptr;
  std::size_t length = 0;
  while (pa_stream_peek(stream, &data, &length) >= 0 && length > 0) pa_stream_drop(stream);
}

bool acceptedRate(const WaveFormat& format) {
  const pa_sample_spec spec{PA_SAMPLE_S16LE, format.samplesPerSec, 2};
  return isStereo16Pcm(format) && pa_sample_spec_valid(&spec) != 0 &&
         format.samplesPerSec <= PA_RATE_MAX;
}

}  // namespace

struct PulseWaveIn::Impl {
  struct Stream {
    Impl* owner = nullptr;
    WaveInHandle handle = kNoWaveIn;
    WaveInReceiver* receiver = nullptr;
    pa_sample_spec spec{};
    pa_buffer_attr attr{};
    bool followsOutput = false;
    // What fills the queue, and the source it records.
    pa_stream* stream = nullptr;
    std::string source;
    std::uint32_t sourceIndex = PA_INVALID_INDEX;
    // A following stream's next source, connected (corked) until it is
    // ready to take over.
    pa_stream* next = nullptr;
    std::string nextSource;
    std::deque<WaveHeader*> queue;
    pa_operation* uncorking = nullptr;
    bool running = false;  // started, and not reset since
    // Data is taken only once the server has confirmed the uncork, so nothing
    // recorded before a reset reaches the buffers queued after it.
    bool capturing = false;
    bool lost = false;
    std::uint32_t fragsize = 0;
    std::uint64_t dropped = 0;  // bytes recorded while no buffer was queued
  };

  // One entry of the list as last counted.
  struct Entry {
    std::string name;
    std::string source;  // server name, or kDefaultOutputMonitorSource
    bool followsOutput = false;
  };

  pa_glib_mainloop* mainloop = nullptr;
  pa_mainloop_api* api = nullptr;
  pa_context* context = nullptr;
  pa_time_event* retry = nullptr;
  pa_time_event* followCheck = nullptr;
  bool ready = false;  // connected, and the source list loaded
  bool serverInfoLoaded = false;
  bool sourceListLoaded = false;
  std::string defaultSource;
  std::string defaultSink;
  std::map<std::uint32_t, Source> sources;  // by server index: the server's order
  std::vector<Entry> listed;
  std::map<WaveInHandle, std::unique_ptr<Stream>> streams;
  WaveInHandle nextHandle = 1;

  // --- the connection ---

  void connect() {
    pa_proplist* identity = pa_proplist_new();
    pa_proplist_sets(identity, PA_PROP_APPLICATION_NAME, kApplicationTitle);
    pa_proplist_sets(identity, PA_PROP_APPLICATION_ID, kApplicationId);
    pa_proplist_sets(identity, PA_PROP_APPLICATION_ICON_NAME, kIconName);
    context = pa_context_new_with_proplist(api, kApplicationTitle, identity);
    pa_proplist_free(identity);
    if (context == nullptr) {
      scheduleReconnect();
      return;
    }
    pa_context_set_state_callback(context, &Impl::onContextState, this);
    pa_context_set_subscribe_callback(context, &Impl::onSubscription, this);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
      scheduleReconnect();
    }
  }

  void dropContext() {
    if (context == nullptr) return;
    pa_context_set_state_callback(context, nullptr, nullptr);
    pa_context_set_subscribe_callback(context, nullptr, nullptr);
    pa_context_disconnect(context);
    pa_context_unref(context);
    context = nullptr;
  }

  void scheduleReconnect() {
    if (retry != nullptr) return;
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, pa_usec_t{kRetryMs} * 1000);
    retry = api->time_new(api, &when, &Impl::onRetry, this);
  }

  static void onRetry(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    api->time_free(event);
    self->retry = nullptr;
    self->dropContext();
    self->connect();
  }

  bool following() const {
    return std::any_of(streams.begin(), streams.end(), [](const auto& entry) {
      return entry.second->followsOutput && !entry.second->lost;
    });
  }

  void scheduleFollowCheck() {
    if (followCheck != nullptr) return;
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, kFollowCheckUsec);
    followCheck = api->time_new(api, &when, &Impl::onFollowCheck, this);
  }

  static void onFollowCheck(pa_mainloop_api* api, pa_time_event* event, const timeval*,
                            void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    api->time_free(event);
    self->followCheck = nullptr;
    if (!self->following()) return;
    if (self->ready) forget(pa_context_get_server_info(self->context, &Impl::onServerInfo, self));
    self->scheduleFollowCheck();
  }

  static void onContextState(pa_context* context, void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    switch (pa_context_get_state(context)) {
      case PA_CONTEXT_READY:
        self->sources.clear();
        self->serverInfoLoaded = self->sourceListLoaded = false;
        forget(pa_context_subscribe(context,
                                    static_cast<pa_subscription_mask_t>(
                                        PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER),
                                    nullptr, nullptr));
        forget(pa_context_get_server_info(context, &Impl::onServerInfo, self));
        forget(pa_context_get_source_info_list(context, &Impl::onSourceList, self));
        break;
      case PA_CONTEXT_FAILED:
      case PA_CONTEXT_TERMINATED:
        // The server went away (or restarts): every stream on it is gone too.
        self->ready = false;
        self->sources.clear();
        self->defaultSource.clear();
        self->defaultSink.clear();
        for (auto& [handle, stream] : self->streams) self->lose(*stream);
        self->scheduleReconnect();
        break;
      default:
        break;
    }
  }

  void markLoaded() {
    if (serverInfoLoaded && sourceListLoaded) ready = true;
  }

  static void onServerInfo(pa_context* context, const pa_server_info* info, void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    if (context != self->context) return;
    if (info != nullptr) {
      self->defaultSource = info->default_source_name != nullptr ? info->default_source_name : "";
      self->defaultSink = info->default_sink_name != nullptr ? info->default_sink_name : "";
    }
    self->serverInfoLoaded = true;
    self->markLoaded();
    self->followDefaultOutput();
  }

  void keep(const pa_source_info& info) {
    sources[info.index] = {info.name != nullptr ? info.name : "",
                           info.description != nullptr ? info.description : "",
                           info.monitor_of_sink_name != nullptr ? info.monitor_of_sink_name : ""};
  }

  static void onSourceList(pa_context* context, const pa_source_info* info, int eol,
                           void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    if (context != self->context) return;
    if (eol != 0) {
      self->sourceListLoaded = true;
      self->markLoaded();
      self->followDefaultOutput();
    } else if (info != nullptr) {
      self->keep(*info);
    }
  }

  static void onSourceInfo(pa_context* context, const pa_source_info* info, int eol,
                           void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    if (context != self->context || eol != 0 || info == nullptr) return;
    self->keep(*info);
    // The monitor of a new default output may be listed after the change of
    // default that named it.
    self->followDefaultOutput();
  }

  static void onSubscription(pa_context* context, pa_subscription_event_type_t type,
                             std::uint32_t index, void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
      forget(pa_context_get_server_info(context, &Impl::onServerInfo, self));
    } else if (facility == PA_SUBSCRIPTION_EVENT_SOURCE) {
      if (kind == PA_SUBSCRIPTION_EVENT_REMOVE) {
        self->sources.erase(index);
        for (auto& [handle, stream] : self->streams) {
          if (stream->sourceIndex == index) self->lose(*stream);
        }
      } else {
        forget(pa_context_get_source_info_by_index(context, index, &Impl::onSourceInfo, self));
      }
    }
  }

  // --- streams ---

  std::string defaultOutputMonitor() const {
    if (defaultSink.empty()) return {};
    for (const auto& [index, source] : sources) {
      if (source.monitorOf == defaultSink) return source.name;
    }
    return {};
  }

  bool listedNow(const std::string& name) const {
    return std::any_of(sources.begin(), sources.end(),
                       [&name](const auto& entry) { return entry.second.name == name; });
  }

  pa_stream* connectStream(Stream& s, const std::string& source) {
    pa_channel_map map;
    pa_channel_map_init_stereo(&map);
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, kMediaRole);
    pa_stream* stream =
        pa_stream_new_with_proplist(context, kStreamName, &s.spec, &map, properties);
    pa_proplist_free(properties);
    if (stream == nullptr) return nullptr;
    pa_stream_set_state_callback(stream, &Impl::onStreamState, &s);
    pa_stream_set_read_callback(stream, &Impl::onStreamRead, &s);
    // Never moved to another source behind our back: a source that goes away
    // must fail the stream, which is what starts recovery upstream.
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_DONT_MOVE | PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED);
    if (pa_stream_connect_record(stream, source.c_str(), &s.attr, flags) < 0) {
      release(stream);
      return nullptr;
    }
    return stream;
  }

  // A following stream records the new default output's monitor: a second
  // stream connects to it and takes over once ready, so buffers keep coming.
  void followDefaultOutput() {
    const std::string monitor = defaultOutputMonitor();
    if (monitor.empty()) return;
    for (auto& [handle, s] : streams) {
      if (!s->followsOutput || s->lost || s->source == monitor || s->nextSource == monitor)
        continue;
      dropNext(*s);
      s->next = connectStream(*s, monitor);
      if (s->next != nullptr) s->nextSource = monitor;
    }
  }

  void dropNext(Stream& s) {
    release(s.next);
    s.next = nullptr;
    s.nextSource.clear();
  }

  void takeOver(Stream& s) {
    cancelUncork(s);
    release(s.stream);
    s.stream = s.next;
    s.source = s.nextSource;
    s.next = nullptr;
    s.nextSource.clear();
    s.capturing = false;
    connected(s);
  }

  // The stream is connected: note what it records, and run it if asked to.
  void connected(Stream& s) {
    s.sourceIndex = pa_stream_get_device_index(s.stream);
    if (const pa_buffer_attr* granted = pa_stream_get_buffer_attr(s.stream)) {
      s.fragsize = granted->fragsize;
    }
    if (s.running) uncork(s);
  }

  void uncork(Stream& s) {
    if (s.uncorking != nullptr || s.capturing) return;
    s.uncorking = pa_stream_cork(s.stream, 0, &Impl::onUncorked, &s);
  }

  void cancelUncork(Stream& s) {
    if (s.uncorking == nullptr) return;
    pa_operation_cancel(s.uncorking);
    pa_operation_unref(s.uncorking);
    s.uncorking = nullptr;
  }

  static void onStreamState(pa_stream* stream, void* userdata) {
    auto* s = static_cast<Stream*>(userdata);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    const bool failed = state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED;
    if (stream == s->next) {
      if (state == PA_STREAM_READY) s->owner->takeOver(*s);
      if (failed) s->owner->dropNext(*s);
    } else if (stream == s->stream) {
      if (state == PA_STREAM_READY) s->owner->connected(*s);
      if (failed) s->owner->lose(*s);
    }
  }

  static void onStreamRead(pa_stream* stream, std::size_t, void* userdata) {
    auto* s = static_cast<Stream*>(userdata);
    const bool taking = stream == s->stream && s->capturing;
    // An empty peek (length 0) means nothing is left; a hole has no data but a length.
    const void* data = nullptr;
    std::size_t length = 0;
    while (pa_stream_peek(stream, &data, &length) >= 0 && length > 0) {
      if (taking) s->owner->fill(*s, static_cast<const char*>(data), length);
      pa_stream_drop(stream);
    }
  }

  static void onUncorked(pa_stream* stream, int success, void* userdata) {
    auto* s = static_cast<Stream*>(userdata);
    pa_operation_unref(s->uncorking);
    s->uncorking = nullptr;
    s->capturing = success != 0 && !s->lost && stream == s->stream;
  }

  // Copies recorded bytes into the queued buffers in order and hands on each
  // one that is full. A hole in the recording (no data) becomes silence;
  // bytes with no buffer queued are lost, as on a device that runs dry.
  void fill(Stream& s, const char* data, std::size_t length) {
    while (length > 0 && !s.queue.empty()) {
      WaveHeader* header = s.queue.front();
      const std::size_t take =
          std::min<std::size_t>(length, header->bufferLength - header->bytesRecorded);
      char* to = header->data + header->bytesRecorded;
      if (data != nullptr) {
        std::memcpy(to, data, take);
        data += take;
      } else {
        std::memset(to, 0, take);
      }
      header->bytesRecorded += static_cast<std::uint32_t>(take);
      length -= take;
      if (header->bytesRecorded == header->bufferLength) handBackFirst(s);
    }
    s.dropped += length;
  }

  void handBackFirst(Stream& s) {
    WaveHeader* header = s.queue.front();
    s.queue.pop_front();
    header->flags = (header->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
    s.receiver->bufferDone(s.handle, header);
  }

  void handBackAll(Stream& s) {
    while (!s.queue.empty()) handBackFirst(s);
  }

  // The device is gone: hand back what is queued, so that the caller learns of
  // the loss when it prepares the next buffer.
  void lose(Stream& s) {
    if (s.lost) return;
    s.lost = true;
    s.capturing = s.running = false;
    cancelUncork(s);
    dropNext(s);
    handBackAll(s);
  }

  void forgetStream(Stream& s) {
    cancelUncork(s);
    dropNext(s);
    release(s.stream);
    s.stream = nullptr;
  }

  Stream* find(WaveInHandle handle) {
    const auto it = streams.find(handle);
    return it == streams.end() ? nullptr : it->second.get();
  }

  const Entry* entry(int device) const {
    if (device < 0 || static_cast<std::size_t>(device) >= listed.size()) return nullptr;
    return &listed[static_cast<std::size_t>(device)];
  }

  // Default source first, the default output's monitor next, then the
  // others in the server's order.
  void takeList() {
    std::vector<DeviceLabel> labels;
    listed.clear();
    for (const auto& [index, source] : sources) {
      const auto at = source.name == defaultSource ? 0 : listed.size();
      labels.insert(labels.begin() + static_cast<std::ptrdiff_t>(at),
                    {source.description.empty() ? source.name : source.description, source.name});
      listed.insert(listed.begin() + static_cast<std::ptrdiff_t>(at), {{}, source.name, false});
    }
    if (!defaultOutputMonitor().empty()) {
      // An empty key sorts first: a device described the same way gets the suffix.
      labels.insert(labels.begin() + 1, {kDefaultOutputMonitor, ""});
      listed.insert(listed.begin() + 1, {{}, kDefaultOutputMonitorSource, true});
    }
    const std::vector<std::string> names = listedDeviceNames(labels);
    for (std::size_t i = 0; i < listed.size(); ++i) listed[i].name = names[i];
  }
};

PulseWaveIn::PulseWaveIn() : impl_(std::make_unique<Impl>()) {
  impl_->mainloop = pa_glib_mainloop_new(g_main_context_default());
  impl_->api = pa_glib_mainloop_get_api(impl_->mainloop);
  impl_->connect();
}

PulseWaveIn::~PulseWaveIn() {
  for (auto& [handle, stream] : impl_->streams) impl_->forgetStream(*stream);
  impl_->streams.clear();
  if (impl_->retry != nullptr) impl_->api->time_free(impl_->retry);
  if (impl_->followCheck != nullptr) impl_->api->time_free(impl_->followCheck);
  impl_->dropContext();
  pa_glib_mainloop_free(impl_->mainloop);
}

bool PulseWaveIn::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
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

bool PulseWaveIn::waitForDeviceList(std::uint32_t timeoutMs) {
  return runUntil([this] { return impl_->ready; }, std::chrono::milliseconds(timeoutMs));
}

int PulseWaveIn::deviceCount() {
  if (!impl_->ready) {
    impl_->listed.clear();
    return kDevicesUnknown;
  }
  impl_->takeList();
  return static_cast<int>(impl_->listed.size());
}

WaveResult PulseWaveIn::deviceName(int device, std::string& name) {
  const Impl::Entry* entry = impl_->entry(device);
  if (entry == nullptr) return kWaveBadDeviceId;
  name = entry->name;
  return kWaveOk;
}

std::string PulseWaveIn::sourceName(int device) {
  const Impl::Entry* entry = impl_->entry(device);
  return entry != nullptr ? entry->source : std::string();
}

WaveResult PulseWaveIn::queryFormat(int device, const WaveFormat& format) {
  if (!impl_->ready) return kWaveDeviceLost;
  if (impl_->entry(device) == nullptr) return kWaveBadDeviceId;
  return acceptedRate(format) ? kWaveOk : kWaveBadFormat;
}

WaveResult PulseWaveIn::open(int device, const WaveFormat& format, WaveInReceiver& receiver,
                             WaveInHandle& handle) {
  if (!impl_->ready) return kWaveDeviceLost;
  const Impl::Entry* entry = impl_->entry(device);
  if (entry == nullptr) return kWaveBadDeviceId;
  if (!acceptedRate(format)) return kWaveBadFormat;
  const std::string source = entry->followsOutput ? impl_->defaultOutputMonitor() : entry->source;
  if (source.empty() || !impl_->listedNow(source)) return kWaveDeviceLost;

  auto s = std::make_unique<Impl::Stream>();
  s->owner = impl_.get();
  s->receiver = &receiver;
  s->followsOutput = entry->followsOutput;
  s->spec = pa_sample_spec{PA_SAMPLE_S16LE, format.samplesPerSec, 2};
  s->attr.maxlength = static_cast<std::uint32_t>(-1);
  s->attr.tlength = s->attr.prebuf = s->attr.minreq = static_cast<std::uint32_t>(-1);
  s->attr.fragsize = format.samplesPerSec * 4 / 1000 * kFragmentMs;
  s->stream = impl_->connectStream(*s, source);
  if (s->stream == nullptr) return kWaveError;
  s->source = source;
  s->handle = impl_->nextHandle++;
  handle = s->handle;
  impl_->streams.emplace(handle, std::move(s));
  if (entry->followsOutput) impl_->scheduleFollowCheck();
  return kWaveOk;
}

WaveResult PulseWaveIn::prepare(WaveInHandle handle, WaveHeader* header) {
  Impl::Stream* s = impl_->find(handle);
  if (s == nullptr) return kWaveInvalidHandle;
  if (header == nullptr || header->data == nullptr || header->bufferLength == 0) {
    return kWaveInvalidParam;
  }
  if ((header->flags & kWaveHeaderInQueue) != 0) return kWaveStillQueued;
  if (s->lost) return kWaveDeviceLost;
  header->flags |= kWaveHeaderPrepared;
  return kWaveOk;
}

WaveResult PulseWaveIn::add(WaveInHandle handle, WaveHeader* header) {
  Impl::Stream* s = impl_->find(handle);
  if (s == nullptr) return kWaveInvalidHandle;
  if (header == nullptr) return kWaveInvalidParam;
  if ((header->flags & kWaveHeaderPrepared) == 0) return kWaveUnprepared;
  if ((header->flags & kWaveHeaderInQueue) != 0) return kWaveStillQueued;
  if (s->lost) return kWaveDeviceLost;
  header->bytesRecorded = 0;
  header->flags = (header->flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
  s->queue.push_back(header);
  return kWaveOk;
}

WaveResult PulseWaveIn::unprepare(WaveInHandle handle, WaveHeader* header) {
  // The buffer may have been queued on another handle (one reset before a
  // restart); only its own state matters.
  if (impl_->find(handle) == nullptr) return kWaveInvalidHandle;
  if (header == nullptr) return kWaveInvalidParam;
  if ((header->flags & kWaveHeaderInQueue) != 0) return kWaveStillQueued;
  header->flags &= ~kWaveHeaderPrepared;
  return kWaveOk;
}

WaveResult PulseWaveIn::start(WaveInHandle handle) {
  Impl::Stream* s = impl_->find(handle);
  if (s == nullptr) return kWaveInvalidHandle;
  if (s->lost) return kWaveDeviceLost;
  s->running = true;
  // A stream still connecting starts once it is ready.
  if (pa_stream_get_state(s->stream) == PA_STREAM_READY) impl_->uncork(*s);
  return kWaveOk;
}

WaveResult PulseWaveIn::reset(WaveInHandle handle) {
  Impl::Stream* s = impl_->find(handle);
  if (s == nullptr) return kWaveInvalidHandle;
  s->running = s->capturing = false;
  impl_->cancelUncork(*s);
  if (!s->lost && pa_stream_get_state(s->stream) == PA_STREAM_READY) {
    forget(pa_stream_cork(s->stream, 1, nullptr, nullptr));
    forget(pa_stream_flush(s->stream, nullptr, nullptr));
    // Recorded data already here belongs before the reset.
    drain(s->stream);
  }
  impl_->handBackAll(*s);
  return kWaveOk;
}

WaveResult PulseWaveIn::close(WaveInHandle handle) {
  Impl::Stream* s = impl_->find(handle);
  if (s == nullptr) return kWaveInvalidHandle;
  if (!s->queue.empty()) return kWaveStillQueued;
  impl_->forgetStream(*s);
  impl_->streams.erase(handle);
  return kWaveOk;
}

std::uint64_t PulseWaveIn::droppedBytes(WaveInHandle handle) {
  Impl::Stream* s = impl_->find(handle);
  return s != nullptr ? s->dropped : 0;
}

std::uint32_t PulseWaveIn::fragmentBytes(WaveInHandle handle) {
  Impl::Stream* s = impl_->find(handle);
  return s != nullptr ? s->fragsize : 0;
}

std::string PulseWaveIn::recordedSource(WaveInHandle handle) {
  Impl::Stream* s = impl_->find(handle);
  return s != nullptr ? s->source : std::string();
}

}  // namespace tarnvale
