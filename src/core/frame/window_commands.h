// The main window's commands: menus, function keys and Esc, without the
// widgets. The window calls Run; the dialogs and viewers the commands open
// come in through WindowServices, so tests drive every command with fakes.
#pragma once

#include <functional>

#include "base/message_sink.h"
#include "core/frame/key_table.h"
#include "core/frame/line_editor.h"
#include "core/frame/program_state.h"
#include "core/sending/send_path.h"

namespace orvex {

// What a prompt accepts. An answer accepts refuses keeps the prompt open
// after a box titled title with its words; no accepts: any answer.
struct PromptCheck {
  Text title;
  std::function<Result(const Text&)> accepts;
};

// What the commands need from the windows around them.
class WindowServices {
 public:
  virtual ~WindowServices() = default;
  // The prompt dialog: title, label, text in and out; true for OK.
  virtual bool Prompt(const Text& title, const Text& label, Text* text,
                      const PromptCheck& check) = 0;
  virtual void SetTitle(const Text& title) = 0;
  virtual void OpenCWOptions() = 0;
  virtual void ShowHelp(int context) = 0;
  virtual void ShowTextFile(const Text& name) = 0;
  // Shut-down, then the end of the program.
  virtual void ExitProgram() = 0;
};

// What the window's status bar shows.
struct StatusLine {
  bool transmitting = false;
  Text port;      // "COM1 (/dev/ttyUSB0) open", "... failed: why", "none"
  Text sidetone;  // "pulseaudio 16.1, 13 ms behind the key", "none", "silent: why"
  int16_t speed = 28;
  Text file;    // "Sending log.txt: 120 of 4,567 bytes", or empty
  Text notice;  // what stopped the sending, when the keyer did; or empty
  Text serial;  // the contest serial number #NR sends next: "Nr 007"
  // That nothing is keyed and why ("Nothing is keyed: COM1 (/dev/ttyS0)
  // failed: ..."); empty while keying.
  Text notKeying;
};

// The title follows the speed in effect, whoever changes it (speed keys,
// Set Speed, CW Options), so the commands watch the speed.
class WindowCommands : public SpeedObserver {
 public:
  WindowCommands(ProgramState& state, SendPath& send, MessageSink& sink, WindowServices& services,
                 FileChooser& chooser, Beeper& beeper)
      : state_(state),
        send_(send),
        sink_(sink),
        services_(services),
        chooser_(chooser),
        beeper_(beeper) {
    send_.SetSpeedObserver(this);
  }
  ~WindowCommands() override { send_.SetSpeedObserver(nullptr); }

  // A menu item, a key of the key table, or what the line editor asked for.
  void Run(Command command, int message = 0);
  void Run(const KeyAction& action) { Run(action.command, action.message); }
  // F1: help at a topic (150 for the window, a menu item's own topic).
  void Help(int context) { services_.ShowHelp(context); }
  bool Tuning() const { return send_.Tuning(); }
  // After a typed character: it goes out at once when the keyer is idle.
  void Typed() { send_.Typed(); }
  // " Orvex - 28 WPM" with the speed in effect.
  void UpdateTitle();
  void SpeedChanged(int16_t) override { UpdateTitle(); }
  StatusLine Status();
  bool Transmitting() { return send_.Transmitting(); }
  // The speed box: a speed within the speed limits in effect at once, as
  // Set Speed does.
  void SetSpeedTo(int speed);
  // The text of stored message n (1 to 8) with its macros, as the menu shows it.
  const Text& Message(int n) const { return send_.Settings().Message(n); }

 private:
  void SetSpeed();
  void SetCall(bool mine);
  void SetNumber();
  void FollowSentNumbers();

  ProgramState& state_;
  SendPath& send_;
  uint64_t numbersSeen_ = 0;  // the send path's count of #NEXT messages sent, applied
  MessageSink& sink_;
  WindowServices& services_;
  FileChooser& chooser_;
  Beeper& beeper_;
};

}  // namespace orvex
