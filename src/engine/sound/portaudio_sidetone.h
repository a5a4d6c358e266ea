// Sidetone through PortAudio's default output: the sound card through ALSA
// (or JACK) on a machine without a sound server.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "base/result.h"
#include "engine/sound/sidetone.h"
#include "engine/sound/tone_synth.h"

namespace orvex::engine {

class PortAudioSidetone : public Sidetone {
 public:
  // Refused, in PortAudio's words, when there is no output device or it
  // cannot be opened.
  static Result Open(std::unique_ptr<PortAudioSidetone>* opened);
  ~PortAudioSidetone() override;
  PortAudioSidetone(const PortAudioSidetone&) = delete;
  PortAudioSidetone& operator=(const PortAudioSidetone&) = delete;

  void SetKey(bool down, int64_t atNs) override { synth_.SetKey(down, atNs); }
  void SetPitch(int hz) override { synth_.SetPitch(hz); }
  void SetVolume(int percent) override { synth_.SetVolume(percent); }
  SidetoneStatus Status() const override;

 private:
  explicit PortAudioSidetone(double rate) : synth_(rate), clock_(rate) {}
  friend struct PortAudioCallback;
  ToneSynth synth_;
  StreamClock clock_;
  void* stream_ = nullptr;
  std::string name_;
  double latencyNs_ = 0;  // the stream's own output latency
  std::atomic<uint64_t> underruns_{0};
};

}  // namespace orvex::engine
