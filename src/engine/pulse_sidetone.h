// Sidetone through the desktop's sound server, spoken to natively in the
// PulseAudio protocol (which PipeWire's Pulse server speaks too). Going
// through ALSA's pulse plug-in instead hides the stream's timing and
// underruns; here the server asks for each buffer, says when it will be
// heard, and tells of every underrun.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "base/result.h"
#include "engine/sidetone.h"
#include "engine/tone_synth.h"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace orvex::engine {

class PulseSidetone : public Sidetone {
 public:
  // The output into *opened; missing when no sound server answers, failed
  // (saying why) when one answered and would not play.
  static Result Open(std::unique_ptr<PulseSidetone>* opened);
  ~PulseSidetone() override;
  PulseSidetone(const PulseSidetone&) = delete;
  PulseSidetone& operator=(const PulseSidetone&) = delete;

  void SetKey(bool down, int64_t atNs) override { voice_->synth.SetKey(down, atNs); }
  void SetPitch(int hz) override { voice_->synth.SetPitch(hz); }
  void SetVolume(int percent) override { voice_->synth.SetVolume(percent); }
  SidetoneStatus Status() const override;

 private:
  PulseSidetone() = default;
  friend struct PulseCallbacks;

  // Made once the server's rate is known, before the stream starts.
  struct Voice {
    explicit Voice(double rate) : synth(rate), clock(rate) {}
    ToneSynth synth;
    StreamClock clock;
  };

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::unique_ptr<Voice> voice_;
  std::string server_;
  std::string sink_;  // the default sink, where the tone plays
  uint32_t rate_ = 48000;
  std::atomic<bool> ready_{false};
  std::atomic<bool> started_{false};
  std::atomic<bool> timedOut_{false};  // opening took too long
  std::atomic<bool> gone_{false};      // the server went away or the stream failed
  std::atomic<uint64_t> underruns_{0};
};

}  // namespace orvex::engine
