// Sidetone as a MIDI note through the ALSA sequencer, on the first synth
// port found.
#pragma once

#include <memory>
#include <string>

#include "base/result.h"
#include "engine/sound/sidetone.h"

namespace orvex::engine {

// Where the notes go: the sequencer port, or a test's recorder.
class NoteOut {
 public:
  virtual ~NoteOut() = default;
  virtual void Note(bool on, int note) noexcept = 0;
  virtual std::string Name() const = 0;
};

class MidiSidetone : public Sidetone {
 public:
  // Refused when the sequencer or a synth port is missing.
  static Result Open(std::unique_ptr<MidiSidetone>* opened);
  explicit MidiSidetone(std::unique_ptr<NoteOut> out) : out_(std::move(out)) {}
  ~MidiSidetone() override;

  void SetKey(bool down, int64_t atNs) override;
  void SetPitch(int hz) override;
  SidetoneStatus Status() const override {
    SidetoneStatus status{"MIDI (" + out_->Name() + ")", 0, {}};
    status.device = SidetoneDevice::Midi;
    return status;
  }

  // Nearest MIDI note for a pitch (69 is 440 Hz).
  static int NoteFor(int hz);

 private:
  std::unique_ptr<NoteOut> out_;
  int note_ = 74;
  int sounding_ = -1;
};

}  // namespace orvex::engine
