// The send path in one piece: keyer set-up, send queue, file sender and
// macros, wired the way the main window, orvex-send and the tests use them.
//
//   stored message ─ExpandMacros(full)─┐
//   file line ─────ExpandMacros(limited)┼─> SendQueue ─PumpCW─> Keyer ─> engine
//   typed character (TypeAheadLine) ────┘
#pragma once

#include <string>

#include "base/clock.h"
#include "base/message_sink.h"
#include "core/config/env_settings.h"
#include "core/sending/file_sender.h"
#include "core/sending/keyer.h"
#include "core/sending/port_setup.h"
#include "core/sending/send_queue.h"
#include "core/sending/send_seams.h"

namespace orvex {

inline constexpr int kMaxTuneSeconds = 10;

class SendPath : private FileCommandHandler, private LineExpander {
 public:
  struct Parts {
    Keyer& keyer;
    const EnvSettings& settings;
    Clock& clock;
    PauseTimer& pauseTimer;
    Beeper& beeper;
    MessageSink& sink;
    std::string programDir;  // where the file dialog starts
    SendObserver* observer = nullptr;
  };
  explicit SendPath(const Parts& parts);

  // The operator's type-ahead line, once the window has it.
  void SetTypeAhead(TypeAheadLine* line);

  // Stored message n (1 to 8) as a function key sends it: expanded in full
  // mode, CRLF appended, kept as LastMessage, queued at level 3.
  bool SendMessage(int n);
  // Starts sending a text file: name, or with an empty name the file the
  // operator picks in chooser. A transfer already running is stopped only
  // when the operator says so.
  void SendFile(FileChooser* chooser, const Text& name);
  // Ends all sending at once: the typed-ahead line, the file, the queue,
  // the keyer's own queue.
  void Stop();
  // Stops, then opens the keyer on port code p (see PortSetup::OpenPort).
  bool OpenCWPort(int16_t portCode);
  // New settings for port code p: applied to the open port when it stays
  // the same and works, else the port is opened as OpenCWPort does.
  bool ReconfigureCWPort(int16_t portCode);
  // Shut-down: the queue emptied and the keyer closed.
  void CloseCWPort();
  void EndCWFile() { file_.EndCWFile(); }
  // Keys down with PTT for seconds (at most 10): the operator tunes an
  // amplifier or tuner to the sidetone pitch. Stop ends it.
  void Tune(int seconds);
  bool Tuning() const { return tuning_; }
  // The transmitter is on: PTT up (lead and tail included) or the key down.
  bool Transmitting() { return keyer_.Active() != 0; }
  // A key was typed: the line's first character goes out now when the
  // keyer is idle, not at the next tick. While it keys, the tick takes the
  // next one as before, so what is typed ahead stays editable.
  void Typed() {
    if (keyer_.Pending() == 0) queue_.PumpCW();
  }

  // Expands text in full or limited mode with the current calls and clock.
  Text Expand(const Text& text, bool fullMode);
  // The work of one 100 ms tick: file top-up, pump, idle check.
  void Tick();
  // Nothing left anywhere: no text, no file, no pause, keyer idle.
  bool Idle();

  PortSetup& Port() { return port_; }
  const EnvSettings& Settings() const { return settings_; }
  const PortSetup& Port() const { return port_; }
  SendQueue& Queue() { return queue_; }
  FileSender& File() { return file_; }

  Text HisCall;  // the other station's call (Set #him); never saved

 private:
  void StartFileCommand(const Text& name) override { SendFile(nullptr, name); }
  Text ExpandLine(const Text& line) override { return Expand(line, false); }

  Keyer& keyer_;
  const EnvSettings& settings_;
  Clock& clock_;
  MessageSink& sink_;
  std::string programDir_;
  TypeAheadLine* typeAhead_ = nullptr;
  bool tuning_ = false;
  PortSetup port_;
  SendQueue queue_;
  FileSender file_;
};

}  // namespace orvex
