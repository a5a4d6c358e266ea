// Shut-down: save the main window's placement, end file sending, close the
// keyer, close the window. Runs once, however many close paths reach it.
#pragma once

#include "base/message_sink.h"
#include "core/frame/placement.h"
#include "core/frame/program_state.h"
#include "core/sending/send_path.h"

namespace orvex {

// What shut-down needs from the main window.
class PacketWindowView {
 public:
  virtual ~PacketWindowView() = default;
  virtual WindowState State() const = 0;
  virtual TwipsRect PlacementTwips() const = 0;
  virtual void CloseWindow() = 0;
};

void Shutdown(ProgramState& state, PacketWindowView& window, SendPath& send, MessageSink& sink);

}  // namespace orvex
