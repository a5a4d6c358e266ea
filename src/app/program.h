// The composition root: builds the program's parts, wires them together
// and runs Main's sequence. It owns everything that lives for the whole run.
#pragma once

#include <memory>

#include "base/clock.h"
#include "core/frame/line_editor.h"
#include "core/frame/open_window.h"
#include "core/frame/program_state.h"
#include "core/frame/sent_echo.h"
#include "core/frame/window_commands.h"
#include "core/sending/engine_keyer.h"
#include "core/sending/send_path.h"
#include "core/sending/ticker.h"
#include "engine/timing/keyer_engine.h"
#include "ui/message_boxes.h"
#include "ui/net_link.h"
#include "ui/qt_seams.h"

namespace orvex {

class PktForm;
class TextViewer;
class HelpViewer;

class Program : private WindowServices, private PacketWindowFactory {
 public:
  Program();
  ~Program() override;
  // The whole run; returns the process exit status.
  int Main(int& argc, char** argv);

 private:
  void BringToFront();
  Result CreatePacketWindow(PacketWindowSetup** window) override;

  // WindowServices: the windows the commands open.
  bool Prompt(const Text& title, const Text& label, Text* text, const PromptCheck& check) override;
  void SetTitle(const Text& title) override;
  void OpenCWOptions() override;
  void ShowHelp(int context) override;
  void ShowTextFile(const Text& name) override;
  void ExitProgram() override;

  ProgramState state_;
  QtMessageSink sink_;
  LaterBoxes attention_{sink_};  // what the send path finds wrong, as boxes from the event loop
  SystemClock clock_;
  QtBeeper beeper_;
  engine::KeyerEngine engine_;
  EngineKeyer keyer_{engine_};
  SentEcho echo_{keyer_};  // what the window shows was sent
  LineEditor editor_;
  std::unique_ptr<QtPauseTimer> pauseTimer_;
  std::unique_ptr<QtRepeatingTimer> tickTimer_;
  std::unique_ptr<SendPath> send_;
  std::unique_ptr<Ticker> ticker_;
  std::unique_ptr<QtFileChooser> chooser_;
  std::unique_ptr<WindowCommands> commands_;
  std::unique_ptr<PktForm> form_;
  std::unique_ptr<TextViewer> viewer_;
  std::unique_ptr<HelpViewer> help_;
  std::unique_ptr<NetLink> net_;  // loggers keying through the window
};

}  // namespace orvex
