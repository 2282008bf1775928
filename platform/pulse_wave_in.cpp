#include "platform/pulse_wave_in.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

namespace tarnvale {

namespace {

// Latency asked of the server: about one capture buffer, so data arrives in
// time to fill each buffer without waking this process far more often.
constexpr std::uint32_t kFragmentMs = 33;
constexpr pa_usec_t kRetryUsec = 100 * 1000;
constexpr auto kOpenTimeout = std::chrono::seconds(5);

// The client library's lock as a BasicLockable, so that a condition variable
// can wait on it with a timeout.
class MainloopLock {
 public:
  explicit MainloopLock(pa_threaded_mainloop* mainloop) : mainloop_(mainloop) {}
  void lock() { pa_threaded_mainloop_lock(mainloop_); }
  void unlock() { pa_threaded_mainloop_unlock(mainloop_); }

 private:
  pa_threaded_mainloop* mainloop_;
};

struct Source {
  std::string name;
  std::string description;
};

// Operations whose completion nobody waits for.
void forget(pa_operation* op) {
  if (op != nullptr) pa_operation_unref(op);
}

}  // namespace

struct PulseWaveIn::Impl {
  struct Stream {
    Impl* owner = nullptr;
    WaveInHandle handle = kNoWaveIn;
    pa_stream* stream = nullptr;
    WaveInReceiver* receiver = nullptr;
    std::uint32_t sourceIndex = PA_INVALID_INDEX;
    std::deque<WaveHeader*> queue;
    pa_operation* uncorking = nullptr;
    // Data is taken only once the server has confirmed the uncork, so nothing
    // recorded before a reset reaches the buffers queued after it.
    bool capturing = false;
    bool lost = false;
    std::uint32_t fragsize = 0;
    std::uint64_t dropped = 0;  // bytes recorded while no buffer was queued
  };

  pa_threaded_mainloop* mainloop = nullptr;
  MainloopLock lockable{nullptr};
  std::condition_variable_any changed;

  // Guards every stream's queue and `lost`, and changes to `streams`, so that
  // the caller's per-buffer calls (prepare, add, unprepare) need not take the
  // client library's lock. The library's thread holds that lock while it hands
  // a buffer over; the caller, woken by it, would otherwise block on it once
  // per buffer. Order: the library's lock first, then this one.
  std::mutex queueLock;
  // Buffers taken off a queue, handed over once queueLock is released.
  // Under the library's lock.
  std::vector<std::pair<Stream*, WaveHeader*>> finished;

  // Everything below is touched only under the client library's lock.
  pa_context* context = nullptr;
  pa_time_event* retry = nullptr;
  bool ready = false;  // connected, and the source list loaded
  bool serverInfoLoaded = false;
  bool sourceListLoaded = false;
  std::string defaultSource;
  std::map<std::uint32_t, Source> sources;  // by server index: the server's order
  std::map<WaveInHandle, std::unique_ptr<Stream>> streams;
  WaveInHandle nextHandle = 1;

  // --- on the client library's thread, or under its lock ---

  void connect() {
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(mainloop);
    context = pa_context_new(api, "Tarnvale");
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
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(mainloop);
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, kRetryUsec);
    retry = api->time_new(api, &when, &Impl::onRetry, this);
  }

  static void onRetry(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    api->time_free(event);
    self->retry = nullptr;
    self->dropContext();
    self->connect();
  }

  static void onContextState(pa_context* context, void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    switch (pa_context_get_state(context)) {
      case PA_CONTEXT_READY: {
        self->sources.clear();
        self->serverInfoLoaded = self->sourceListLoaded = false;
        forget(pa_context_subscribe(context,
                                    static_cast<pa_subscription_mask_t>(
                                        PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER),
                                    nullptr, nullptr));
        forget(pa_context_get_server_info(context, &Impl::onFirstServerInfo, self));
        forget(pa_context_get_source_info_list(context, &Impl::onFirstSourceList, self));
        break;
      }
      case PA_CONTEXT_FAILED:
      case PA_CONTEXT_TERMINATED:
        // The server went away (or restarts): every stream on it is gone too.
        self->ready = false;
        self->sources.clear();
        self->defaultSource.clear();
        for (auto& [handle, stream] : self->streams) self->lose(*stream);
        self->scheduleReconnect();
        self->changed.notify_all();
        break;
      default:
        break;
    }
  }

  void markLoaded() {
    if (serverInfoLoaded && sourceListLoaded && !ready) {
      ready = true;
      changed.notify_all();
    }
  }

  static void onFirstServerInfo(pa_context* context, const pa_server_info* info, void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    if (context != self->context) return;
    if (info != nullptr && info->default_source_name != nullptr) {
      self->defaultSource = info->default_source_name;
    }
    self->serverInfoLoaded = true;
    self->markLoaded();
  }

  static void onServerInfo(pa_context* context, const pa_server_info* info, void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    if (context != self->context || info == nullptr) return;
    self->defaultSource = info->default_source_name != nullptr ? info->default_source_name : "";
  }

  void keep(const pa_source_info& info) {
    sources[info.index] = {info.name != nullptr ? info.name : "",
                           info.description != nullptr ? info.description : ""};
  }

  static void onFirstSourceList(pa_context* context, const pa_source_info* info, int eol,
                                void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    if (context != self->context) return;
    if (eol != 0) {
      self->sourceListLoaded = true;
      self->markLoaded();
    } else if (info != nullptr) {
      self->keep(*info);
    }
  }

  static void onSourceInfo(pa_context* context, const pa_source_info* info, int eol,
                           void* userdata) {
    auto* self = static_cast<Impl*>(userdata);
    if (context != self->context || eol != 0 || info == nullptr) return;
    self->keep(*info);
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
        self->changed.notify_all();
      } else {
        forget(pa_context_get_source_info_by_index(context, index, &Impl::onSourceInfo, self));
      }
    }
  }

  static void onStreamState(pa_stream* stream, void* userdata) {
    auto* s = static_cast<Stream*>(userdata);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) s->owner->lose(*s);
    s->owner->changed.notify_all();
  }

  static void onStreamRead(pa_stream* stream, std::size_t, void* userdata) {
    auto* s = static_cast<Stream*>(userdata);
    // An empty peek (length 0) means nothing is left; a hole has no data but a length.
    const void* data = nullptr;
    std::size_t length = 0;
    while (pa_stream_peek(stream, &data, &length) >= 0 && length > 0) {
      if (s->capturing) s->owner->fill(*s, static_cast<const char*>(data), length);
      pa_stream_drop(stream);
    }
  }

  static void onUncorked(pa_stream*, int success, void* userdata) {
    auto* s = static_cast<Stream*>(userdata);
    pa_operation_unref(s->uncorking);
    s->uncorking = nullptr;
    s->capturing = success != 0 && !s->lost;
  }

  // Copies recorded bytes into the queued buffers in order and hands on each
  // one that is full. A hole in the recording (no data) becomes silence;
  // bytes with no buffer queued are lost, as on a device that runs dry.
  void fill(Stream& s, const char* data, std::size_t length) {
    {
      std::lock_guard guard(queueLock);
      fillQueued(s, data, length);
    }
    handOver();
  }

  void fillQueued(Stream& s, const char* data, std::size_t length) {
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
      if (header->bytesRecorded == header->bufferLength) takeFirst(s);
    }
    s.dropped += length;
  }

  // Under queueLock.
  void takeFirst(Stream& s) {
    WaveHeader* header = s.queue.front();
    s.queue.pop_front();
    header->flags = (header->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
    finished.emplace_back(&s, header);
  }

  // Not under queueLock: the receiver wakes the caller, who queues again.
  void handOver() {
    for (const auto& [s, header] : finished) s->receiver->bufferDone(s->handle, header);
    finished.clear();
  }

  void handBackAll(Stream& s) {
    {
      std::lock_guard guard(queueLock);
      while (!s.queue.empty()) takeFirst(s);
    }
    handOver();
  }

  // The device is gone: hand back what is queued, so that the caller learns of
  // the loss when it prepares the next buffer.
  void lose(Stream& s) {
    if (s.lost) return;
    {
      std::lock_guard guard(queueLock);
      s.lost = true;
    }
    s.capturing = false;
    cancelUncork(s);
    handBackAll(s);
  }

  void cancelUncork(Stream& s) {
    if (s.uncorking == nullptr) return;
    pa_operation_cancel(s.uncorking);
    pa_operation_unref(s.uncorking);
    s.uncorking = nullptr;
  }

  void release(Stream& s) {
    cancelUncork(s);
    pa_stream_set_state_callback(s.stream, nullptr, nullptr);
    pa_stream_set_read_callback(s.stream, nullptr, nullptr);
    if (pa_stream_get_state(s.stream) == PA_STREAM_READY ||
        pa_stream_get_state(s.stream) == PA_STREAM_CREATING) {
      pa_stream_disconnect(s.stream);
    }
    pa_stream_unref(s.stream);
    s.stream = nullptr;
  }

  // --- under the lock, on the caller's thread ---

  // Default source first, then the others in the server's order.
  std::vector<std::uint32_t> deviceIndices() const {
    std::vector<std::uint32_t> result;
    result.reserve(sources.size());
    for (const auto& [index, source] : sources) {
      if (source.name == defaultSource)
        result.insert(result.begin(), index);
      else
        result.push_back(index);
    }
    return result;
  }

  const Source* device(int device, std::uint32_t* index = nullptr) const {
    if (!ready || device < 0) return nullptr;
    const std::vector<std::uint32_t> indices = deviceIndices();
    if (static_cast<std::size_t>(device) >= indices.size()) return nullptr;
    if (index != nullptr) *index = indices[static_cast<std::size_t>(device)];
    return &sources.at(indices[static_cast<std::size_t>(device)]);
  }

  Stream* find(WaveInHandle handle) {
    const auto it = streams.find(handle);
    return it == streams.end() ? nullptr : it->second.get();
  }

  bool onOwnThread() const { return pa_threaded_mainloop_in_thread(mainloop) != 0; }
};

namespace {

bool acceptedRate(const WaveFormat& format) {
  const pa_sample_spec spec{PA_SAMPLE_S16LE, format.samplesPerSec, 2};
  return isStereo16Pcm(format) && pa_sample_spec_valid(&spec) != 0 &&
         format.samplesPerSec <= PA_RATE_MAX;
}

}  // namespace

PulseWaveIn::PulseWaveIn() : impl_(std::make_unique<Impl>()) {
  impl_->mainloop = pa_threaded_mainloop_new();
  impl_->lockable = MainloopLock(impl_->mainloop);
  impl_->finished.reserve(16);  // no allocation on the library's thread per buffer
  pa_threaded_mainloop_set_name(impl_->mainloop, "tarnvale-pulse");
  // The loop thread does not run yet, so no lock is needed to connect.
  impl_->connect();
  pa_threaded_mainloop_start(impl_->mainloop);
}

PulseWaveIn::~PulseWaveIn() {
  pa_threaded_mainloop_stop(impl_->mainloop);
  for (auto& [handle, stream] : impl_->streams) impl_->release(*stream);
  impl_->streams.clear();
  if (impl_->retry != nullptr) {
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(impl_->mainloop);
    api->time_free(impl_->retry);
  }
  impl_->dropContext();
  pa_threaded_mainloop_free(impl_->mainloop);
}

int PulseWaveIn::deviceCount() {
  if (impl_->onOwnThread()) return 0;
  std::unique_lock lock(impl_->lockable);
  // While the connection is being made again, give the server a moment to come
  // back rather than report that there is no device.
  impl_->changed.wait_for(lock, std::chrono::milliseconds(kReconnectWaitMs),
                          [this] { return impl_->ready; });
  return impl_->ready ? static_cast<int>(impl_->sources.size()) : 0;
}

WaveResult PulseWaveIn::deviceName(int device, std::string& name) {
  if (impl_->onOwnThread()) return kWaveError;
  std::unique_lock lock(impl_->lockable);
  const Source* source = impl_->device(device);
  if (source == nullptr) return kWaveBadDeviceId;
  name = clipDeviceName(source->description);
  return kWaveOk;
}

std::string PulseWaveIn::sourceName(int device) {
  if (impl_->onOwnThread()) return {};
  std::unique_lock lock(impl_->lockable);
  const Source* source = impl_->device(device);
  return source != nullptr ? source->name : std::string();
}

WaveResult PulseWaveIn::queryFormat(int device, const WaveFormat& format) {
  if (impl_->onOwnThread()) return kWaveError;
  std::unique_lock lock(impl_->lockable);
  if (impl_->device(device) == nullptr) return kWaveBadDeviceId;
  return acceptedRate(format) ? kWaveOk : kWaveBadFormat;
}

WaveResult PulseWaveIn::open(int device, const WaveFormat& format, WaveInReceiver& receiver,
                             WaveInHandle& handle) {
  if (impl_->onOwnThread()) return kWaveError;
  std::unique_lock lock(impl_->lockable);
  std::uint32_t sourceIndex = PA_INVALID_INDEX;
  const Source* source = impl_->device(device, &sourceIndex);
  if (source == nullptr) return kWaveBadDeviceId;
  if (!acceptedRate(format)) return kWaveBadFormat;

  const pa_sample_spec spec{PA_SAMPLE_S16LE, format.samplesPerSec, 2};
  pa_channel_map map;
  pa_channel_map_init_stereo(&map);
  pa_stream* stream = pa_stream_new(impl_->context, "Tarnvale capture", &spec, &map);
  if (stream == nullptr) return kWaveError;

  auto s = std::make_unique<Impl::Stream>();
  s->owner = impl_.get();
  s->stream = stream;
  s->receiver = &receiver;
  pa_stream_set_state_callback(stream, &Impl::onStreamState, s.get());
  pa_stream_set_read_callback(stream, &Impl::onStreamRead, s.get());

  pa_buffer_attr attr;
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
  attr.fragsize = format.samplesPerSec * 4 / 1000 * kFragmentMs;
  // Never moved to another source behind our back: a source that goes away
  // must fail the stream, which is what starts recovery upstream.
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_DONT_MOVE | PA_STREAM_ADJUST_LATENCY |
                                                    PA_STREAM_START_CORKED);
  if (pa_stream_connect_record(stream, source->name.c_str(), &attr, flags) < 0) {
    impl_->release(*s);
    return kWaveError;
  }
  impl_->changed.wait_for(lock, kOpenTimeout,
                          [stream] { return pa_stream_get_state(stream) != PA_STREAM_CREATING; });
  if (pa_stream_get_state(stream) != PA_STREAM_READY) {
    impl_->release(*s);
    return kWaveError;
  }
  s->sourceIndex = pa_stream_get_device_index(stream);
  if (const pa_buffer_attr* granted = pa_stream_get_buffer_attr(stream)) {
    s->fragsize = granted->fragsize;
  }
  s->handle = impl_->nextHandle++;
  handle = s->handle;
  std::lock_guard guard(impl_->queueLock);
  impl_->streams.emplace(handle, std::move(s));
  return kWaveOk;
}

WaveResult PulseWaveIn::prepare(WaveInHandle handle, WaveHeader* header) {
  if (impl_->onOwnThread()) return kWaveError;
  std::lock_guard lock(impl_->queueLock);
  Impl::Stream* s = impl_->find(handle);
  if (s == nullptr) return kWaveInvalidHandle;
  if (header == nullptr || header->data == nullptr || header->bufferLength == 0) {
    return kWaveInvalidParam;
  }
  if ((header->flags & kWaveHeaderInQueue) != 0) return kWaveStillQueued;
  if (s->lost) return kWaveError;
  header->flags |= kWaveHeaderPrepared;
  return kWaveOk;
}

WaveResult PulseWaveIn::add(WaveInHandle handle, WaveHeader* header) {
  if (impl_->onOwnThread()) return kWaveError;
  std::lock_guard lock(impl_->queueLock);
  Impl::Stream* s = impl_->find(handle);
  if (s == nullptr) return kWaveInvalidHandle;
  if (header == nullptr) return kWaveInvalidParam;
  if ((header->flags & kWaveHeaderPrepared) == 0) return kWaveUnprepared;
  if ((header->flags & kWaveHeaderInQueue) != 0) return kWaveStillQueued;
  if (s->lost) return kWaveError;
  header->bytesRecorded = 0;
  header->flags = (header->flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
  s->queue.push_back(header);
  return kWaveOk;
}

WaveResult PulseWaveIn::unprepare(WaveInHandle handle, WaveHeader* header) {
  if (impl_->onOwnThread()) return kWaveError;
  std::lock_guard lock(impl_->queueLock);
  // The buffer may have been queued on another handle (one reset before a
  // restart); only its own state matters.
  if (impl_->find(handle) == nullptr) return kWaveInvalidHandle;
  if (header == nullptr) return kWaveInvalidParam;
  if ((header->flags & kWaveHeaderInQueue) != 0) return kWaveStillQueued;
  header->flags &= ~kWaveHeaderPrepared;
  return kWaveOk;
}

WaveResult PulseWaveIn::start(WaveInHandle handle) {
  if (impl_->onOwnThread()) return kWaveError;
  std::unique_lock lock(impl_->lockable);
  Impl::Stream* s = impl_->find(handle);
  if (s == nullptr) return kWaveInvalidHandle;
  if (s->lost) return kWaveError;
  if (s->capturing || s->uncorking != nullptr) return kWaveOk;
  s->uncorking = pa_stream_cork(s->stream, 0, &Impl::onUncorked, s);
  return s->uncorking != nullptr ? kWaveOk : kWaveError;
}

WaveResult PulseWaveIn::reset(WaveInHandle handle) {
  if (impl_->onOwnThread()) return kWaveError;
  std::unique_lock lock(impl_->lockable);
  Impl::Stream* s = impl_->find(handle);
  if (s == nullptr) return kWaveInvalidHandle;
  s->capturing = false;
  impl_->cancelUncork(*s);
  if (!s->lost) {
    forget(pa_stream_cork(s->stream, 1, nullptr, nullptr));
    forget(pa_stream_flush(s->stream, nullptr, nullptr));
    // Recorded data already here belongs before the reset.
    const void* data = nullptr;
    std::size_t length = 0;
    while (pa_stream_peek(s->stream, &data, &length) >= 0 && length > 0) {
      pa_stream_drop(s->stream);
    }
  }
  impl_->handBackAll(*s);
  return kWaveOk;
}

WaveResult PulseWaveIn::close(WaveInHandle handle) {
  if (impl_->onOwnThread()) return kWaveError;
  std::unique_lock lock(impl_->lockable);
  std::lock_guard guard(impl_->queueLock);
  Impl::Stream* s = impl_->find(handle);
  if (s == nullptr) return kWaveInvalidHandle;
  if (!s->queue.empty()) return kWaveStillQueued;
  impl_->release(*s);
  impl_->streams.erase(handle);
  return kWaveOk;
}

std::uint64_t PulseWaveIn::droppedBytes(WaveInHandle handle) {
  if (impl_->onOwnThread()) return 0;
  std::unique_lock lock(impl_->lockable);
  Impl::Stream* s = impl_->find(handle);
  return s != nullptr ? s->dropped : 0;
}

std::uint32_t PulseWaveIn::fragmentBytes(WaveInHandle handle) {
  if (impl_->onOwnThread()) return 0;
  std::unique_lock lock(impl_->lockable);
  Impl::Stream* s = impl_->find(handle);
  return s != nullptr ? s->fragsize : 0;
}

}  // namespace tarnvale
