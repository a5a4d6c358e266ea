// The send path in one piece: keyer set-up, send queue, file sender and
// macros, wired the way the main window, orvex-send and the tests use them.
//
//   stored message ─ExpandMacros(full)─┐
//   file line ─────ExpandMacros(limited)┼─> SendQueue ─PumpCW─> Keyer ─> engine
//   typed character (TypeAheadLine) ────┘
#pragma once

#include <string>

#include "base/clock.h"
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
    Attention& attention;    // told what goes wrong, asked the file question
    std::string programDir;  // where the file dialog starts
    SendObserver* observer = nullptr;
    Remedies remedies = {};  // how this program's operator puts a port right
  };
  explicit SendPath(const Parts& parts);

  // The operator's type-ahead line, once the window has it.
  void SetTypeAhead(TypeAheadLine* line);
  // Text with its own timing (loggers keying through the program), served
  // after stored messages and before the typed character; null for none.
  void SetKeyedSource(KeyedSource* source) { queue_.SetKeyedSource(source); }

  // Start-up reset of the keying state (see PortSetup::InitCW).
  void InitCW() { port_.InitCW(); }
  // Typed-ahead text is keyed (once start-up has ended).
  void SetKeyboardCW(bool on) { port_.SetKeyboardCW(on); }
  // Stops, then opens the keyer on port code p; a failure has been told.
  Result OpenCWPort(int16_t portCode);
  // New settings for port code p: applied to the open port when it stays
  // the same and works, else the port is opened as OpenCWPort does.
  Result ReconfigureCWPort(int16_t portCode);
  // Another port while this one keys (a logger's request): this one stays
  // when p cannot be opened; the failure told and returned.
  Result SwitchPort(int16_t portCode);
  // The port that stopped working, tried again without a word when it
  // fails again: true once it keys.
  bool RetryPort(int16_t portCode);
  // Shut-down: the queue emptied and the keyer closed.
  void CloseCWPort();
  bool PortOpen() const { return port_.CWPortOpen(); }
  // The port stopped working (and was not opened again since).
  bool PortFailed() const { return port_.Failed(); }
  // Text given now would be keyed: a port (or the sidetone alone) is open,
  // its line works and the process was not stopped since the last stop.
  bool Keying();
  // The sidetone as the settings have it again (a logger's reset).
  void RestoreSidetone() { port_.ApplySidetone(); }

  // The speed in effect, and its changes (see PortSetup).
  int16_t Speed() const { return port_.Speed(); }
  void SetSpeed(int16_t speed) { port_.SetCWSpeed(speed); }
  void StepSpeed(int step) { port_.StepCWSpeed(step); }
  void StoreSpeed(int16_t speed) { port_.StoreSpeed(speed); }
  void SetSpeedObserver(SpeedObserver* observer) { port_.SetSpeedObserver(observer); }

  // Stored message n (1 to 8) as a function key sends it: expanded in full
  // mode, CRLF appended, kept as the last message, queued at level 3.
  bool SendMessage(int n);
  // Starts sending a text file: name, or with an empty name the file the
  // operator picks in chooser. While another is being sent, none is
  // started (the operator is asked first, by the window's command). A file
  // that cannot be opened has been told.
  Result SendFile(FileChooser* chooser, const Text& name);
  // Ends all sending at once: the typed-ahead line, the file, the queue,
  // the keyer's own queue.
  void Stop();
  // Why sending last stopped without anyone asking (the process was
  // stopped, the paddle broke in, the keyer could not stop what it holds);
  // empty when it did not. A failed port is told through Attention.
  const Text& Unfinished() const { return unfinished_; }
  // What the radio may still send after a stop it could not honour.
  Text StillSending();
  void EndCWFile() { file_.EndCWFile(); }
  // Keys down with PTT for seconds (at most 10): the operator tunes an
  // amplifier or tuner to the sidetone pitch. Stop ends it.
  void Tune(int seconds);
  bool Tuning() const { return tuning_; }
  // The operator's paddle broke in on the keyer and stopped the sending;
  // until something is sent again.
  bool PaddleStopped() const { return paddleStopped_; }
  // The transmitter is on: PTT up (lead and tail included) or the key down.
  bool Transmitting() { return keyer_.OnAir(); }
  // A key was typed: the line's first character goes out now when the
  // keyer is idle, not at the next tick. While it keys, the tick takes the
  // next one as before, so what is typed ahead stays editable.
  void Typed() {
    if (keyer_.Pending() == 0) queue_.PumpCW();
  }
  // A pass of the pump now, not at the next tick (a logger's text came).
  void Pump() { queue_.PumpCW(); }

  // Expands text in full or limited mode with the current calls and clock.
  Text Expand(const Text& text, bool fullMode);
  // The work of one 100 ms tick: file top-up, pump, idle check.
  void Tick();
  // Nothing left anywhere: no text, no file, no pause, keyer idle.
  bool Idle();

  // What the window shows: the port and the sidetone as they are, the file
  // being sent and how far, the other station's call.
  Text PortStatusText() const { return port_.PortStatusText(); }
  Text SidetoneText() { return port_.SidetoneText(); }
  const Text& CWFileName() const { return file_.CWFileName(); }
  Text FileProgress() const { return file_.Progress(); }
  const Text& HisCall() const { return hisCall_; }
  void SetHisCall(const Text& call) { hisCall_ = call; }  // never saved
  const EnvSettings& Settings() const { return settings_; }
  Clock& Time() { return clock_; }
  // The queue, for what waits in it and the tests of its pump.
  const SendQueue& Queue() const { return queue_; }
  SendQueue& Queue() { return queue_; }

 private:
  void StartFileCommand(const Text& name) override { (void)SendFile(nullptr, name); }  // told
  Text ExpandLine(const Text& line) override { return Expand(line, false); }

  Keyer& keyer_;
  const EnvSettings& settings_;
  Clock& clock_;
  Attention& attention_;
  std::string programDir_;
  std::string fileDir_;  // where the last file sent came from
  TypeAheadLine* typeAhead_ = nullptr;
  bool tuning_ = false;
  uint64_t breakIns_ = 0;
  bool paddleStopped_ = false;
  Text unfinished_;
  // Stops all sending; the typed line too, or kept (the port failed:
  // nothing of what waits there is lost).
  void Halt(bool typed);
  Text hisCall_;  // the other station's call (Set #him)
  PortSetup port_;
  SendQueue queue_;
  FileSender file_;
};

}  // namespace orvex
