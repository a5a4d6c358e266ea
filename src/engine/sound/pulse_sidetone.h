// Sidetone through the desktop's sound server, spoken to natively in the
// PulseAudio protocol (which PipeWire's Pulse server speaks too). Going
// through ALSA's pulse plug-in instead hides the stream's timing and
// underruns; here the server asks for each buffer, says when it will be
// heard, tells of every underrun, and lets what is queued be written again.
//
// The tone is rendered ahead of the key (ToneAhead): while elements are
// planned, up to 200 ms of their sound is queued in the server, each edge
// on the sample heard when the key moves; with nothing planned the queue is
// the small buffer asked for (ORVEX_SIDETONE_MS). A stop or a moved plan
// writes what is queued again from the first sample still to be played, so
// the tone ends a few ms after Esc with its usual edge.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "base/result.h"
#include "engine/sound/sidetone.h"
#include "engine/sound/tone_ahead.h"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;
struct pa_io_event;
struct pa_time_event;

namespace orvex::engine {

class PulseSidetone : public Sidetone {
 public:
  // The output into *opened; missing when no sound server answers, failed
  // (saying why) when one answered and would not play.
  static Result Open(std::unique_ptr<PulseSidetone>* opened);
  ~PulseSidetone() override;
  PulseSidetone(const PulseSidetone&) = delete;
  PulseSidetone& operator=(const PulseSidetone&) = delete;

  void SetKey(bool down, int64_t atNs) override {
    voice_->tone.Now(down, atNs);
    Poke();
  }
  void SetPitch(int hz) override { voice_->tone.SetPitch(hz); }
  void SetVolume(int percent) override { voice_->tone.SetVolume(percent); }
  SidetoneStatus Status() const override;
  int64_t PlansAheadNs() const override;
  int64_t ReadyNs() const override;
  void Plan(bool down, int64_t atNs) override { voice_->tone.Plan(down, atNs); }
  void Unplan(int64_t fromNs) override {
    voice_->tone.Unplan(fromNs);
    Poke();
  }
  void Shift(int64_t fromNs, int64_t byNs) override {
    voice_->tone.Shift(fromNs, byNs);
    Poke();
  }
  void PlannedThrough(int64_t ns) override {
    voice_->tone.Through(ns);
    Poke();
  }

 private:
  PulseSidetone() = default;
  friend struct PulseCallbacks;

  // Made once the server's rate is known, before the stream starts.
  struct Voice {
    // The server keeps playing through an underrun (no pre-buffering), so
    // the samples keep their times: a reading far off is the server's
    // timing report lagging after a stall, taken as a jump only when it
    // lasts (the sink really was restarted).
    explicit Voice(double rate) : tone(rate), clock(rate, 50) {}
    ToneAhead tone;
    StreamClock clock;
  };

  // Wakes the writer (the mainloop thread) for new commands: a write to an
  // eventfd, no lock.
  void Poke();
  // On the mainloop thread: takes the commands, writes again what no longer
  // holds, and renders ahead as far as the key is known (at least
  // wantedBytes, what the server asked for).
  void Pump(size_t wantedBytes);

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::unique_ptr<Voice> voice_;
  int wakeFd_ = -1;
  pa_io_event* wakeEvent_ = nullptr;
  pa_time_event* topUp_ = nullptr;   // renders on ahead while the key is known
  int64_t defaultAheadNs_ = 0;       // until the server says how far ahead it plays
  std::atomic<int64_t> readyNs_{0};  // when the first sample not yet rendered is heard
  std::string server_;
  std::string sink_;  // the default sink, where the tone plays
  uint32_t rate_ = 48000;
  double grantedMs_ = 0;  // the buffer the server granted
  std::atomic<bool> ready_{false};
  std::atomic<bool> started_{false};
  std::atomic<bool> timedOut_{false};  // opening took too long
  std::atomic<bool> gone_{false};      // the server went away or the stream failed
  std::atomic<uint64_t> underruns_{0};
};

}  // namespace orvex::engine
