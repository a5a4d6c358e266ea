// Sidetone as a MIDI note through the ALSA sequencer, on the first synth
// port found.
#pragma once

#include <memory>

#include "engine/sidetone.h"

namespace orvex::engine {

class MidiSidetone : public Sidetone {
 public:
  // nullptr when the sequencer or a synth port is missing.
  static std::unique_ptr<MidiSidetone> Open();
  ~MidiSidetone() override;

  void SetKey(bool down) override;
  void SetPitch(int hz) override;

  // Nearest MIDI note for a pitch (69 is 440 Hz).
  static int NoteFor(int hz);

 private:
  MidiSidetone(void* seq, int port) : seq_(seq), port_(port) {}
  void Send(bool on, int note) noexcept;
  void* seq_;
  int port_;
  int note_ = 74;
  int sounding_ = -1;
};

}  // namespace orvex::engine
