// The PC speaker and MIDI sidetones through their device seams: a pipe
// stands in for the speaker's input device, a recorder for the synth.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/sound/midi_sidetone.h"
#include "engine/sound/pcspkr_sidetone.h"
#include "engine/system/emergency.h"

namespace orvex::engine {
namespace {

// The tones written to the speaker since the last call (0: silent).
std::vector<int> Tones(int fd) {
  std::vector<int> out;
  input_event ev{};
  while (::read(fd, &ev, sizeof ev) == static_cast<ssize_t>(sizeof ev))
    if (ev.type == EV_SND && ev.code == SND_TONE) out.push_back(ev.value);
  return out;
}

TEST(PcSpeakerSidetone, SoundsThePitchWhileTheKeyIsDownAndIsSilencedOnEveryWayOut) {
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
  {
    auto speaker = PcSpeakerSidetone::Adopt(fds[1], "/dev/input/event9");
    EXPECT_EQ(speaker->Status().output, "PC speaker (/dev/input/event9)");
    speaker->SetPitch(700);
    speaker->SetKey(true, 0);
    speaker->SetPitch(750);  // heard at once while the key is down
    speaker->SetKey(false, 0);
    speaker->SetPitch(800);  // silent: nothing to change
    EXPECT_EQ(Tones(fds[0]), (std::vector<int>{700, 750, 0}));
    speaker->SetKey(true, 0);
    emergency::RaiseAll();  // a crash or a signal while the tone sounds
    EXPECT_EQ(Tones(fds[0]), (std::vector<int>{800, 0}));
  }
  EXPECT_EQ(Tones(fds[0]), std::vector<int>{0});  // and when it is closed
  ::close(fds[0]);
}

class RecordingNotes : public NoteOut {
 public:
  explicit RecordingNotes(std::vector<std::string>* notes) : notes_(notes) {}
  void Note(bool on, int note) noexcept override {
    notes_->push_back((on ? "on " : "off ") + std::to_string(note));
  }
  std::string Name() const override { return "Test Synth"; }

 private:
  std::vector<std::string>* notes_;
};

TEST(MidiSidetone, EachKeyDownIsOneNoteAtThePitchAndNoNoteHangsOn) {
  std::vector<std::string> notes;
  {
    MidiSidetone midi(std::make_unique<RecordingNotes>(&notes));
    EXPECT_EQ(midi.Status().output, "MIDI (Test Synth)");
    midi.SetPitch(440);
    midi.SetKey(true, 0);
    midi.SetPitch(880);  // the sounding note ends with the key, at its own pitch
    midi.SetKey(false, 0);
    midi.SetKey(true, 0);
  }
  EXPECT_EQ(notes, (std::vector<std::string>{"on 69", "off 69", "on 81", "off 81"}));
}

}  // namespace
}  // namespace orvex::engine
