// Sidetone on the PC speaker through the kernel's pcspkr input device.
#pragma once

#include <memory>

#include "engine/sidetone.h"

namespace orvex::engine {

class PcSpeakerSidetone : public Sidetone {
 public:
  // nullptr when no input device offers tones (or it cannot be opened:
  // the operator is then not in group input).
  static std::unique_ptr<PcSpeakerSidetone> Open();
  ~PcSpeakerSidetone() override;

  void SetKey(bool down) override;
  void SetPitch(int hz) override { pitch_ = hz; }

 private:
  explicit PcSpeakerSidetone(int fd) : fd_(fd) {}
  void Tone(int hz) noexcept;
  int fd_;
  int pitch_ = 600;
};

}  // namespace orvex::engine
