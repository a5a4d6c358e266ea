// Sidetone through the sound card (PortAudio's default output).
#pragma once

#include <memory>

#include "engine/sidetone.h"
#include "engine/tone_synth.h"

namespace orvex::engine {

class PortAudioSidetone : public Sidetone {
 public:
  // nullptr when there is no output device or it cannot be opened.
  static std::unique_ptr<PortAudioSidetone> Open();
  ~PortAudioSidetone() override;

  void SetKey(bool down) override { synth_.SetKey(down); }
  void SetPitch(int hz) override { synth_.SetPitch(hz); }

 private:
  explicit PortAudioSidetone(double rate) : synth_(rate) {}
  friend struct PortAudioCallback;
  ToneSynth synth_;
  void* stream_ = nullptr;
};

}  // namespace orvex::engine
