// The program object: Main's sequence over the program-wide state, the real
// message boxes, the send path and the packet window.
#pragma once

#include <memory>

#include "app/program_state.h"
#include "app/qt_message_sink.h"
#include "app/qt_seams.h"
#include "app/shutdown.h"
#include "keying/engine_keyer.h"
#include "keying/send_path.h"
#include "macros/clock.h"

namespace orvex {

class PktForm;
class PacketCommands;
class TextViewer;
class HelpViewer;

class Program {
 public:
  Program();
  ~Program();
  // The whole run; returns the process exit status.
  int Main(int& argc, char** argv);

 private:
  bool OpenPacketWindow();
  void ExitProgram();
  void BringToFront();

  ProgramState state_;
  QtMessageSink sink_;
  ShutdownHooks hooks_;
  SystemClock clock_;
  std::unique_ptr<QtPauseTimer> pauseTimer_;
  QtBeeper beeper_;
  std::unique_ptr<EngineKeyer> keyer_;
  std::unique_ptr<SendPath> send_;
  std::unique_ptr<PktForm> form_;
  std::unique_ptr<QtFileChooser> chooser_;
  std::unique_ptr<PacketCommands> commands_;
  std::unique_ptr<TextViewer> viewer_;
  std::unique_ptr<HelpViewer> help_;
};

}  // namespace orvex
