// Sidetone on the PC speaker through the kernel's pcspkr input device.
#pragma once

#include <memory>
#include <string>

#include "base/result.h"
#include "engine/sound/sidetone.h"
#include "engine/system/emergency.h"

namespace orvex::engine {

class PcSpeakerSidetone : public Sidetone {
 public:
  // Refused when no input device offers tones, or the operator may not
  // open one (not in group input).
  static Result Open(std::unique_ptr<PcSpeakerSidetone>* opened);
  // Takes over fd, an input device (or whatever stands in for one in a
  // test) that takes EV_SND events; registered for the emergency key-up.
  static std::unique_ptr<PcSpeakerSidetone> Adopt(int fd, std::string device);
  ~PcSpeakerSidetone() override;

  void SetKey(bool down, int64_t atNs) override;
  void SetPitch(int hz) override;
  SidetoneStatus Status() const override {
    SidetoneStatus status{"PC speaker (" + device_ + ")", 0, {}};
    status.device = SidetoneDevice::PcSpeaker;
    return status;
  }

 private:
  PcSpeakerSidetone(int fd, std::string device)
      : fd_(fd),
        device_(std::move(device)),
        registration_(emergency::Register(fd, emergency::Kind::Speaker)) {}
  void Tone(int hz) noexcept;
  int fd_;
  std::string device_;
  emergency::Registration registration_;
  int pitch_ = 600;
  bool down_ = false;
};

}  // namespace orvex::engine
