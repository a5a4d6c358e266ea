// The packet window's commands: menus, function keys and Esc, without the
// widgets. The window calls these; the dialogs and viewers they open come in
// through seams, so tests drive every command with fakes.
#pragma once

#include <functional>

#include "app/message_sink.h"
#include "app/program_state.h"
#include "keying/send_path.h"
#include "packet/line_editor.h"

namespace orvex {

struct PacketSeams {
  // The prompt dialog: title, label, text in and out; true for OK.
  std::function<bool(const Text& title, const Text& label, Text* text)> prompt;
  std::function<void(const Text& title)> setTitle;
  std::function<void()> beep;
  FileChooser* chooser = nullptr;
  std::function<void()> cwOptions;
  std::function<void(int context)> help;
  std::function<void()> about;
  std::function<void(const Text& name)> showTextFile;
};

class PacketCommands {
 public:
  PacketCommands(ProgramState& state, SendPath& send, MessageSink& sink, PacketSeams seams)
      : state_(state), send_(send), sink_(sink), seams_(std::move(seams)) {}

  void Faster();
  void Slower();
  void SetSpeed();
  void SendFile();
  void Stop();
  void SetHim();
  void SetMe();
  void SendMessage(int n);
  void CWOptions();
  void Help();
  void About();
  void ShowReadme();
  void ShowChanges();

  // What a key of the line editor asked for.
  void Perform(const KeyAction& action);
  // " Orvex - 28 WPM" with the current speed.
  void UpdateTitle();

 private:
  ProgramState& state_;
  SendPath& send_;
  MessageSink& sink_;
  PacketSeams seams_;
};

}  // namespace orvex
