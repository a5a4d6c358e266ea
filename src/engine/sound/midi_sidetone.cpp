#include "engine/sound/midi_sidetone.h"

#include <alsa/asoundlib.h>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace orvex::engine {
namespace {

// Finds a port that plays notes: a synth or MIDI port that takes
// subscriptions, other than the kernel's pass-through.
bool FindSynth(snd_seq_t* seq, int* client, int* port) {
  snd_seq_client_info_t* ci;
  snd_seq_port_info_t* pi;
  snd_seq_client_info_alloca(&ci);
  snd_seq_port_info_alloca(&pi);
  snd_seq_client_info_set_client(ci, -1);
  while (snd_seq_query_next_client(seq, ci) >= 0) {
    const int c = snd_seq_client_info_get_client(ci);
    if (c == SND_SEQ_CLIENT_SYSTEM || c == snd_seq_client_id(seq)) continue;
    if (std::strcmp(snd_seq_client_info_get_name(ci), "Midi Through") == 0) continue;
    snd_seq_port_info_set_client(pi, c);
    snd_seq_port_info_set_port(pi, -1);
    while (snd_seq_query_next_port(seq, pi) >= 0) {
      const unsigned caps = snd_seq_port_info_get_capability(pi);
      const unsigned type = snd_seq_port_info_get_type(pi);
      const unsigned need = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
      if ((caps & need) == need &&
          (type & (SND_SEQ_PORT_TYPE_SYNTH | SND_SEQ_PORT_TYPE_MIDI_GENERIC))) {
        *client = c;
        *port = snd_seq_port_info_get_port(pi);
        return true;
      }
    }
  }
  return false;
}

}  // namespace

// The ALSA sequencer port connected to the synth.
class SequencerOut : public NoteOut {
 public:
  SequencerOut(snd_seq_t* seq, int port, std::string synth)
      : seq_(seq), port_(port), synth_(std::move(synth)) {}
  ~SequencerOut() override { snd_seq_close(seq_); }
  void Note(bool on, int note) noexcept override {
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_seq_ev_set_source(&ev, port_);
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_set_direct(&ev);
    if (on)
      snd_seq_ev_set_noteon(&ev, 0, note, 100);
    else
      snd_seq_ev_set_noteoff(&ev, 0, note, 0);
    snd_seq_event_output_direct(seq_, &ev);
  }
  std::string Name() const override { return synth_; }

 private:
  snd_seq_t* seq_;
  int port_;
  std::string synth_;
};

Result MidiSidetone::Open(std::unique_ptr<MidiSidetone>* opened) {
  snd_seq_t* seq = nullptr;
  if (const int err = snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0); err < 0)
    return Result::Failed(Fault::Open, -err,
                          std::string("no ALSA sequencer: ") + snd_strerror(err));
  snd_seq_set_client_name(seq, "Orvex");
  const int port = snd_seq_create_simple_port(seq, "sidetone",
                                              SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                              SND_SEQ_PORT_TYPE_MIDI_GENERIC);
  int client = 0, dest = 0;
  if (port < 0 || !FindSynth(seq, &client, &dest) ||
      snd_seq_connect_to(seq, port, client, dest) < 0) {
    snd_seq_close(seq);
    return Result::Failed(Fault::Open, ENODEV, "no MIDI synth to play through");
  }
  snd_seq_client_info_t* info;
  snd_seq_client_info_alloca(&info);
  std::string synth = "client " + std::to_string(client);
  if (snd_seq_get_any_client_info(seq, client, info) >= 0)
    synth = snd_seq_client_info_get_name(info);
  *opened = std::make_unique<MidiSidetone>(std::make_unique<SequencerOut>(seq, port, synth));
  return {};
}

MidiSidetone::~MidiSidetone() {
  SetKey(false, 0);
}

int MidiSidetone::NoteFor(int hz) {
  if (hz <= 0) return 0;
  const long note = std::lround(69 + 12 * std::log2(hz / 440.0));
  return static_cast<int>(note < 0 ? 0 : note > 127 ? 127 : note);
}

void MidiSidetone::SetKey(bool down, int64_t) {
  if (sounding_ >= 0) {
    out_->Note(false, sounding_);
    sounding_ = -1;
  }
  if (down) {
    out_->Note(true, note_);
    sounding_ = note_;
  }
}

void MidiSidetone::SetPitch(int hz) {
  note_ = NoteFor(hz);
}

}  // namespace orvex::engine
