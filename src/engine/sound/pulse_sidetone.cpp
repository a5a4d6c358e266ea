#include "engine/sound/pulse_sidetone.h"

#include <fcntl.h>
#include <pulse/pulseaudio.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "base/clock.h"
#include "engine/system/realtime.h"

namespace orvex::engine {
namespace {

// The stream's buffer while nothing is planned: small, so a run starting
// from idle waits little for its first edge (this buffer and one request:
// 11 ms), large enough to ride out the stalls of an ordinary desktop.
// Chosen by measurement; see the sidetone benchmark.
constexpr pa_usec_t kTargetUs = 9000;
constexpr pa_usec_t kRequestUs = 2000;
constexpr pa_usec_t kConnectTimeoutUs = 2'000'000;
// Rendered ahead while the key is known: a stall of this machine shorter
// than this changes nothing heard. The engine plans a little further, so
// the writer always has the next edges in hand.
constexpr int64_t kAheadNs = 200'000'000;
constexpr int64_t kPlanNs = 300'000'000;
// What is queued can be written again from this far after now: the time
// for the write to reach the server, which then takes back what the sink
// had already mixed of it.
constexpr int64_t kRedoMarginNs = 1'500'000;
// A writer that comes to a change later than this after it (the machine
// held it) writes it again from a moment its estimate of the server may
// have passed already: such a change is counted late, as a late edge is.
constexpr int64_t kLateRedoNs = 3'000'000;
// A run starting from idle waits at most this for the first sample whose
// sound is not made yet; later than that its first edge is written again.
constexpr int64_t kMaxKeyWaitNs = 15'000'000;
// While rendering ahead, the writer tops the queue up this often.
constexpr pa_usec_t kTopUpUs = 10'000;

pa_usec_t TargetUs() {
  const int ms = SidetoneBufferMs();
  return ms > 0 ? static_cast<pa_usec_t>(ms) * 1000 : kTargetUs;
}

int64_t Ns(pa_usec_t us) {
  return static_cast<int64_t>(us) * 1000;
}

}  // namespace

struct PulseCallbacks {
  static PulseSidetone* Self(void* p) { return static_cast<PulseSidetone*>(p); }

  static void ContextState(pa_context* c, void* p) {
    const pa_context_state_t state = pa_context_get_state(c);
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) Self(p)->gone_ = true;
    pa_threaded_mainloop_signal(Self(p)->loop_, 0);
  }

  static void StreamState(pa_stream* s, void* p) {
    const pa_stream_state_t state = pa_stream_get_state(s);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) Self(p)->gone_ = true;
    if (state == PA_STREAM_READY && !Self(p)->ready_) {
      // The mainloop thread fills the buffer: it gets the timing thread's
      // priority where the system allows, so a busy machine cannot starve
      // it. Raised here, while Open still waits, before any keying.
      MakeThisThreadRealtime();
      Self(p)->ready_ = true;
    }
    pa_threaded_mainloop_signal(Self(p)->loop_, 0);
  }

  static void Timeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* p) {
    Self(p)->timedOut_ = true;
    pa_threaded_mainloop_signal(Self(p)->loop_, 0);
  }

  static void ServerInfo(pa_context*, const pa_server_info* info, void* p) {
    if (info) {
      if (pa_sample_spec_valid(&info->sample_spec)) Self(p)->rate_ = info->sample_spec.rate;
      if (info->default_sink_name) Self(p)->sink_ = info->default_sink_name;
      Self(p)->server_ = info->server_name ? info->server_name : "";
      if (info->server_version && *info->server_version)
        Self(p)->server_ += std::string(" ") + info->server_version;
    }
    pa_threaded_mainloop_signal(Self(p)->loop_, 0);
  }

  static void SinkInfo(pa_context*, const pa_sink_info* info, int, void* p) {
    // The sink's own rate: no resampler between the tone and the sound
    // card, whose rounding would make the sound drift against the key.
    if (info && pa_sample_spec_valid(&info->sample_spec)) Self(p)->rate_ = info->sample_spec.rate;
    pa_threaded_mainloop_signal(Self(p)->loop_, 0);
  }

  // The server wants nbytes more. Runs on the mainloop thread, as all
  // three below: no allocation, no blocking.
  static void Write(pa_stream*, size_t nbytes, void* p) { Self(p)->Pump(nbytes); }

  // The engine planned or stopped something.
  static void Woken(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* p) {
    uint64_t count = 0;
    while (read(fd, &count, sizeof count) == sizeof count) {
    }
    Self(p)->Pump(0);
  }

  static void TopUp(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* p) {
    Self(p)->Pump(0);
  }

  static void Done(pa_stream*, int, void* p) { pa_threaded_mainloop_signal(Self(p)->loop_, 0); }

  static void Started(pa_stream*, void* p) {
    // Playing from now (at first, or again after running dry): what was
    // guessed before does not hold.
    Self(p)->voice_->clock.Restart();
    Self(p)->started_ = true;
    pa_threaded_mainloop_signal(Self(p)->loop_, 0);
  }

  static void Underflow(pa_stream*, void* p) {
    Self(p)->underruns_.fetch_add(1, std::memory_order_relaxed);
  }
};

Result PulseSidetone::Open(std::unique_ptr<PulseSidetone>* opened) {
  std::unique_ptr<PulseSidetone> out(new PulseSidetone);
  PulseSidetone* self = out.get();
  // No server at all is no failure: another output plays.
  const Result noServer = Result::Missing();
  self->loop_ = pa_threaded_mainloop_new();
  if (!self->loop_) return noServer;
  pa_threaded_mainloop_set_name(self->loop_, "orvex-sidetone");
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(self->loop_);
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Orvex");
  pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "orvex");
  pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "production");
  self->context_ = pa_context_new_with_proplist(api, "Orvex", props);
  pa_proplist_free(props);
  if (!self->context_) return noServer;
  pa_context_set_state_callback(self->context_, &PulseCallbacks::ContextState, self);
  // No autospawn: a desktop without a server plays through ALSA instead.
  if (pa_context_connect(self->context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
    return noServer;
  pa_threaded_mainloop_lock(self->loop_);
  if (pa_threaded_mainloop_start(self->loop_) < 0) {
    pa_threaded_mainloop_unlock(self->loop_);
    return noServer;
  }
  // A server that hangs must not hang the program: give up after a while.
  pa_time_event* timeout = pa_context_rttime_new(
      self->context_, pa_rtclock_now() + kConnectTimeoutUs, &PulseCallbacks::Timeout, self);
  while (!self->gone_ && !self->timedOut_ &&
         pa_context_get_state(self->context_) != PA_CONTEXT_READY)
    pa_threaded_mainloop_wait(self->loop_);
  if (pa_context_get_state(self->context_) != PA_CONTEXT_READY) {
    if (timeout) api->time_free(timeout);
    pa_threaded_mainloop_unlock(self->loop_);
    return noServer;
  }

  pa_operation* info =
      pa_context_get_server_info(self->context_, &PulseCallbacks::ServerInfo, self);
  while (info && pa_operation_get_state(info) == PA_OPERATION_RUNNING && !self->gone_ &&
         !self->timedOut_)
    pa_threaded_mainloop_wait(self->loop_);
  if (info) pa_operation_unref(info);
  pa_operation* sink = pa_context_get_sink_info_by_name(
      self->context_, self->sink_.empty() ? nullptr : self->sink_.c_str(),
      &PulseCallbacks::SinkInfo, self);
  while (sink && pa_operation_get_state(sink) == PA_OPERATION_RUNNING && !self->gone_ &&
         !self->timedOut_)
    pa_threaded_mainloop_wait(self->loop_);
  if (sink) pa_operation_unref(sink);

  const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, self->rate_, 1};
  self->voice_ = std::make_unique<Voice>(self->rate_);
  self->readyNs_ = MonotonicNs();
  self->stream_ = pa_stream_new(self->context_, "Sidetone", &format, nullptr);
  if (!self->stream_) {
    if (timeout) api->time_free(timeout);
    pa_threaded_mainloop_unlock(self->loop_);
    return Result::Failed(Fault::Open, 0, "the sound server would not make a stream");
  }
  pa_stream_set_state_callback(self->stream_, &PulseCallbacks::StreamState, self);
  pa_stream_set_write_callback(self->stream_, &PulseCallbacks::Write, self);
  pa_stream_set_underflow_callback(self->stream_, &PulseCallbacks::Underflow, self);
  pa_stream_set_started_callback(self->stream_, &PulseCallbacks::Started, self);
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<uint32_t>(-1);
  const pa_usec_t target = TargetUs();
  attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(target, &format));
  // No pre-buffering: a stream that ran dry (idle, on a stalled machine)
  // goes on playing where the clock says rather than waiting to refill, so
  // what is written next is heard when it was placed.
  attr.prebuf = 0;
  attr.minreq = static_cast<uint32_t>(pa_usec_to_bytes(kRequestUs, &format));
  attr.fragsize = static_cast<uint32_t>(-1);
  // Early requests: the server keeps only one request's worth (2 ms) in the
  // sound card and asks for each 2 ms as soon as there is room, so all of
  // the buffer asked for stays queued ahead of the card. Adjusting the
  // latency instead splits the buffer in halves, and each refill must then
  // arrive within a quarter of it; measured through a sound server on a
  // loaded machine that ran dry about four times as often.
  const auto flags = static_cast<pa_stream_flags_t>(
      PA_STREAM_EARLY_REQUESTS | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
  // Until the server says how far ahead it plays, assume the buffer asked for.
  self->defaultAheadNs_ = Ns(target + kRequestUs);
  // The engine's wake-up for the writer, and the writer's own timer.
  self->wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (self->wakeFd_ >= 0)
    self->wakeEvent_ =
        api->io_new(api, self->wakeFd_, PA_IO_EVENT_INPUT, &PulseCallbacks::Woken, self);
  self->topUp_ =
      pa_context_rttime_new(self->context_, PA_USEC_INVALID, &PulseCallbacks::TopUp, self);
  if (pa_stream_connect_playback(self->stream_, nullptr, &attr, flags, nullptr, nullptr) < 0) {
    if (timeout) api->time_free(timeout);
    const Result refused =
        Result::Failed(Fault::Open, 0, pa_strerror(pa_context_errno(self->context_)));
    pa_threaded_mainloop_unlock(self->loop_);
    return refused;
  }
  // Until the server plays the stream, key changes could only pile up; a
  // sink that sleeps long when idle can take a second or so to start. One
  // that takes longer still is kept: it plays once it starts.
  while (!self->gone_ && !self->timedOut_ && !self->started_)
    pa_threaded_mainloop_wait(self->loop_);
  // A fresh reading of the running stream's timing, so the first edges are
  // placed from a measurement rather than from the start-up guess.
  if (self->started_) {
    pa_operation* timing = pa_stream_update_timing_info(self->stream_, &PulseCallbacks::Done, self);
    while (timing && pa_operation_get_state(timing) == PA_OPERATION_RUNNING && !self->gone_ &&
           !self->timedOut_)
      pa_threaded_mainloop_wait(self->loop_);
    if (timing) pa_operation_unref(timing);
  }
  if (timeout) api->time_free(timeout);
  if (self->gone_ || !self->ready_) {
    const Result refused =
        Result::Failed(Fault::Open, 0, pa_strerror(pa_context_errno(self->context_)));
    pa_threaded_mainloop_unlock(self->loop_);
    return refused;
  }
  if (const pa_buffer_attr* granted = pa_stream_get_buffer_attr(self->stream_))
    self->grantedMs_ = static_cast<double>(pa_bytes_to_usec(granted->tlength, &format)) / 1000.0;
  if (!self->wakeEvent_ || !self->topUp_) {
    pa_threaded_mainloop_unlock(self->loop_);
    return Result::Failed(Fault::Open, 0, "the sidetone's writer could not be woken");
  }
  pa_threaded_mainloop_unlock(self->loop_);
  *opened = std::move(out);
  return {};
}

PulseSidetone::~PulseSidetone() {
  if (!loop_) return;
  pa_threaded_mainloop_stop(loop_);
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
  if (wakeEvent_) api->io_free(wakeEvent_);
  if (topUp_) api->time_free(topUp_);
  if (wakeFd_ >= 0) close(wakeFd_);
  if (stream_) {
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
  }
  if (context_) {
    pa_context_disconnect(context_);
    pa_context_unref(context_);
  }
  pa_threaded_mainloop_free(loop_);
}

SidetoneStatus PulseSidetone::Status() const {
  SidetoneStatus status{server_.empty() ? "PulseAudio" : server_, 0, {}};
  if (gone_) status.problem = "the sound server went away";
  status.underruns = underruns_.load(std::memory_order_relaxed);
  status.lateEdges = voice_->tone.LateEdges();
  status.withKey = true;
  status.grantedMs = grantedMs_;
  status.device = SidetoneDevice::SoundCard;
  return status;
}

int64_t PulseSidetone::PlansAheadNs() const {
  return kPlanNs;
}

int64_t PulseSidetone::ReadyNs() const {
  return std::min(readyNs_.load(std::memory_order_relaxed), MonotonicNs() + kMaxKeyWaitNs);
}

void PulseSidetone::Poke() {
  const uint64_t one = 1;
  if (wakeFd_ >= 0 && write(wakeFd_, &one, sizeof one) < 0) {
    // Full (the writer is far behind) or gone: it looks at the commands
    // at its next buffer anyway.
  }
}

void PulseSidetone::Pump(size_t wantedBytes) {
  if (!voice_ || !stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return;
  ToneAhead& tone = voice_->tone;
  const int64_t redo = tone.Redo();
  const int64_t now = MonotonicNs();
  pa_usec_t latency = 0;
  int negative = 0;
  int64_t ahead = defaultAheadNs_;
  if (pa_stream_get_latency(stream_, &latency, &negative) == 0)
    ahead = negative ? -Ns(latency) : Ns(latency);
  // When the next sample to render is heard, and where any other falls.
  const int64_t written = tone.Written();
  const int64_t heard = voice_->clock.Next(now + ahead);
  const double nsPerSample = 1e9 / rate_;
  auto sampleAt = [&](int64_t ns) {
    return written + static_cast<int64_t>(static_cast<double>(ns - heard) / nsPerSample);
  };
  auto timeOf = [&](int64_t sample) {
    return heard + static_cast<int64_t>(static_cast<double>(sample - written) * nsPerSample);
  };
  // What no longer holds is written again from the first sample still to
  // be played (and not yet mixed past taking back).
  int64_t from = written;
  if (redo < heard) {
    if (now - redo > kLateRedoNs) tone.CountLate();
    from = tone.GoBack(sampleAt(redo), sampleAt(now + kRedoMarginNs) + 1);
  }
  tone.Take();
  const int64_t known = std::min(tone.KnownThrough(), now + kAheadNs);
  const int64_t target =
      std::max(written + static_cast<int64_t>(wantedBytes / sizeof(float)), sampleAt(known));
  int64_t offset = (from - written) * static_cast<int64_t>(sizeof(float));
  int64_t at = from;
  while (at < target) {
    void* data = nullptr;
    // What is written again goes first in a small piece, so it reaches the
    // server before its samples are due.
    const int64_t piece = offset < 0 ? std::min<int64_t>(target - at, rate_ / 500) : target - at;
    size_t size = static_cast<size_t>(piece) * sizeof(float);
    if (pa_stream_begin_write(stream_, &data, &size) < 0 || !data || size < sizeof(float)) break;
    size -= size % sizeof(float);
    const size_t frames = size / sizeof(float);
    tone.Render(static_cast<float*>(data), frames, timeOf(at));
    if (pa_stream_write(stream_, data, size, nullptr, offset, PA_SEEK_RELATIVE) < 0) break;
    offset = 0;
    at += static_cast<int64_t>(frames);
  }
  voice_->clock.Advance(tone.Written() - written);
  const int64_t readyAt = timeOf(tone.Written());
  readyNs_.store(readyAt, std::memory_order_relaxed);
  // More is known than rendered: come back for it.
  const bool more = tone.KnownThrough() > readyAt;
  pa_context_rttime_restart(context_, topUp_, more ? pa_rtclock_now() + kTopUpUs : PA_USEC_INVALID);
}

}  // namespace orvex::engine
