// The program object: Main's sequence over the program-wide state, the real
// message boxes and the packet window.
#pragma once

#include <memory>

#include "app/program_state.h"
#include "app/qt_message_sink.h"
#include "app/shutdown.h"
#include "keying/cw_keying.h"
#include "keying/engine_keyer.h"

namespace orvex {

class PktForm;

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
  std::unique_ptr<EngineKeyer> keyer_;
  std::unique_ptr<CwKeying> keying_;
  std::unique_ptr<PktForm> form_;
};

}  // namespace orvex
