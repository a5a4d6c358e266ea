#include "engine/sound/pipewire_sidetone.h"

#include <pipewire/pipewire.h>
#include <pthread.h>
#include <spa/param/audio/format-utils.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "base/clock.h"
#include "engine/system/realtime.h"

namespace orvex::engine {
namespace {

// The quantum asked of the graph (ORVEX_SIDETONE_MS asks for another): a
// key change nobody planned is heard within about two of them.
constexpr int kQuantum = 128;
// Planned edges reach the renderer this far ahead of their key changes:
// more than the graph's delay to the device, so each lands on its sample.
constexpr int64_t kPlanNs = 60'000'000;
// A run starting from idle waits at most this for the next quantum.
constexpr int64_t kMaxKeyWaitNs = 15'000'000;
// How long before a cycle begins a plan for it must be in.
constexpr int64_t kSpareNs = 500'000;
constexpr int kConnectMs = 2000;

}  // namespace

struct PipeWireCallbacks {
  static PipeWireSidetone* Self(void* p) { return static_cast<PipeWireSidetone*>(p); }

  static void StateChanged(void* p, pw_stream_state, pw_stream_state state, const char*) {
    if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED)
      Self(p)->gone_ = true;
    pw_thread_loop_signal(Self(p)->loop_, false);
  }

  static void Process(void* p) { Self(p)->Process(); }
};

namespace {

const pw_stream_events kEvents = [] {
  pw_stream_events events{};
  events.version = PW_VERSION_STREAM_EVENTS;
  events.state_changed = &PipeWireCallbacks::StateChanged;
  events.process = &PipeWireCallbacks::Process;
  return events;
}();

}  // namespace

Result PipeWireSidetone::Open(std::unique_ptr<PipeWireSidetone>* opened) {
  static std::once_flag once;
  std::call_once(once, [] { pw_init(nullptr, nullptr); });
  std::unique_ptr<PipeWireSidetone> out(new PipeWireSidetone);
  PipeWireSidetone* self = out.get();
  self->version_ = pw_get_library_version();
  // No daemon at all is no failure: another output plays.
  self->loop_ = pw_thread_loop_new("orvex-pipewire", nullptr);
  if (!self->loop_) return Result::Missing();
  self->context_ = pw_context_new(pw_thread_loop_get_loop(self->loop_), nullptr, 0);
  if (!self->context_ || pw_thread_loop_start(self->loop_) < 0) return Result::Missing();
  pw_thread_loop_lock(self->loop_);
  self->core_ = pw_context_connect(self->context_, nullptr, 0);
  if (!self->core_) {
    pw_thread_loop_unlock(self->loop_);
    return Result::Missing();
  }
  const int ms = SidetoneBufferMs();
  const std::string latency = std::to_string(ms > 0 ? ms * 48 : kQuantum) + "/48000";
  pw_properties* props =
      pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback",
                        PW_KEY_MEDIA_ROLE, "Production", PW_KEY_APP_NAME, "Orvex", PW_KEY_NODE_NAME,
                        "orvex-sidetone", PW_KEY_NODE_LATENCY, latency.c_str(), nullptr);
  self->stream_ = pw_stream_new(self->core_, "Sidetone", props);
  if (!self->stream_) {
    pw_thread_loop_unlock(self->loop_);
    return Result::Failed(Fault::Open, errno, "PipeWire would not make a stream");
  }
  pw_stream_add_listener(self->stream_, &self->listener_, &kEvents, self);
  spa_audio_info_raw info{};
  info.format = SPA_AUDIO_FORMAT_F32;
  info.rate = static_cast<uint32_t>(kRate);
  info.channels = 1;
  info.position[0] = SPA_AUDIO_CHANNEL_MONO;
  uint8_t buffer[1024];
  spa_pod_builder builder{};
  spa_pod_builder_init(&builder, buffer, sizeof buffer);
  const spa_pod* params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
  // Real-time processing: the graph's own thread renders each quantum.
  const auto flags = static_cast<pw_stream_flags>(
      PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS);
  if (const int err =
          pw_stream_connect(self->stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1);
      err < 0) {
    pw_thread_loop_unlock(self->loop_);
    return Result::Failed(Fault::Open, -err, std::string("PipeWire: ") + std::strerror(-err));
  }
  pw_thread_loop_unlock(self->loop_);
  // Until the graph asks for sound, key changes could only pile up. A
  // daemon that hangs must not hang the program: give up after a while.
  for (int i = 0; i < kConnectMs / 5 && !self->gone_ && !self->streaming_; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const bool playing = self->streaming_ && !self->gone_;
  if (!playing)
    return Result::Failed(Fault::Open, ETIMEDOUT, "PipeWire did not play the sidetone's stream");
  *opened = std::move(out);
  return {};
}

PipeWireSidetone::~PipeWireSidetone() {
  if (loop_) pw_thread_loop_stop(loop_);
  if (stream_) pw_stream_destroy(stream_);
  if (core_) pw_core_disconnect(core_);
  if (context_) pw_context_destroy(context_);
  if (loop_) pw_thread_loop_destroy(loop_);
}

void PipeWireSidetone::Process() {
  // The graph's real-time thread: no allocation, no lock, no wait.
  if (!raised_) {
    // Once, before the first quantum is made and long before any keying:
    // the stream's own thread gets the timing thread's priority where the
    // system allows (PipeWire leaves a client's at normal priority unless
    // RealtimeKit answers), so a busy machine cannot make it miss a cycle.
    pthread_setname_np(pthread_self(), "orvex-sidetone");
    (void)MakeThisThreadRealtime();
    raised_ = true;
  }
  pw_buffer* b = pw_stream_dequeue_buffer(stream_);
  if (!b) return;
  spa_data& data = b->buffer->datas[0];
  auto* out = static_cast<float*>(data.data);
  if (!out) return;
  uint32_t frames = data.maxsize / sizeof(float);
  if (b->requested > 0) frames = std::min<uint32_t>(frames, static_cast<uint32_t>(b->requested));
  pw_time time{};
  int64_t first = MonotonicNs();
  int64_t cycle = first;
  if (pw_stream_get_time_n(stream_, &time, sizeof time) == 0 && time.rate.denom > 0) {
    cycle = time.now;
    // The first sample of this quantum is heard the graph's delay after
    // its cycle began, behind what is still queued in the stream.
    const int64_t delay = time.delay * time.rate.num * 1'000'000'000LL / time.rate.denom;
    const auto queued = static_cast<int64_t>((time.queued + time.buffered) * 1e9 / kRate);
    first = time.now + delay + queued;
    // The graph's clock moved on by more than the quantum since the last:
    // a cycle went by without this stream (or without the graph), a gap.
    if (lastTicks_ != 0 && time.ticks > lastTicks_ + frames + frames / 2) ++underruns_;
    lastTicks_ = time.ticks;
  }
  (void)tone_.Redo();  // nothing is taken back: only this quantum is made
  tone_.Take();
  tone_.Render(out, frames, first);
  const auto period = static_cast<int64_t>(frames * 1e9 / kRate);
  cycleNs_.store(cycle, std::memory_order_relaxed);
  aheadNs_.store(first + period - cycle, std::memory_order_relaxed);
  quantum_.store(frames, std::memory_order_relaxed);
  data.chunk->offset = 0;
  data.chunk->stride = sizeof(float);
  data.chunk->size = frames * sizeof(float);
  b->size = frames;
  pw_stream_queue_buffer(stream_, b);
  streaming_.store(true, std::memory_order_release);
}

SidetoneStatus PipeWireSidetone::Status() const {
  SidetoneStatus status{"pipewire " + version_, 0, {}};
  if (gone_) status.problem = "the sound server went away";
  status.underruns = underruns_.load(std::memory_order_relaxed);
  status.lateEdges = tone_.LateEdges();
  status.withKey = true;
  status.grantedMs = quantum_.load(std::memory_order_relaxed) * 1000.0 / kRate;
  status.device = SidetoneDevice::SoundCard;
  return status;
}

int64_t PipeWireSidetone::PlansAheadNs() const {
  return kPlanNs;
}

int64_t PipeWireSidetone::ReadyNs() const {
  // The next quantum is made when the graph's next cycle begins: an edge
  // must be planned before then, with a little to spare, or it is late.
  const int64_t now = MonotonicNs();
  const int64_t period =
      static_cast<int64_t>(quantum_.load(std::memory_order_relaxed) * 1e9 / kRate);
  int64_t cycle = cycleNs_.load(std::memory_order_relaxed) + period;
  if (period > 0 && cycle < now + kSpareNs)
    cycle += (now + kSpareNs - cycle + period - 1) / period * period;
  return std::min(cycle + aheadNs_.load(std::memory_order_relaxed), now + kMaxKeyWaitNs);
}

}  // namespace orvex::engine
