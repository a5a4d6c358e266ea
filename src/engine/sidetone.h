// A sidetone output: what the operator hears while the key is down. One
// implementation per kind of output; the engine calls them under its lock.
#pragma once

#include <cstdint>

namespace orvex::engine {

// The sidetone devices as the settings number them.
enum class SidetoneDevice : int16_t { None = 0, PcSpeaker = 1, Midi = 3, SoundCard = 4 };

// A stored device number: 3 MIDI, 4 sound card, any other the PC speaker
// (as the CW Options dialog shows it).
inline SidetoneDevice SidetoneDeviceFrom(int number) {
  return number == 3   ? SidetoneDevice::Midi
         : number == 4 ? SidetoneDevice::SoundCard
                       : SidetoneDevice::PcSpeaker;
}

class Sidetone {
 public:
  virtual ~Sidetone() = default;
  virtual void SetKey(bool down) = 0;
  virtual void SetPitch(int hz) = 0;
};

// No sound device at all: keying still works.
class NullSidetone : public Sidetone {
 public:
  void SetKey(bool) override {}
  void SetPitch(int) override {}
};

}  // namespace orvex::engine
