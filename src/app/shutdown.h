// Shut-down: save the packet window's placement, end file sending, close the
// keyer, close the window. Runs once, however many close paths reach it.
#pragma once

#include <functional>

#include "app/message_sink.h"
#include "app/placement.h"
#include "app/program_state.h"

namespace orvex {

// What shut-down needs from the packet window.
class PacketWindowView {
 public:
  virtual ~PacketWindowView() = default;
  virtual WindowState State() const = 0;
  virtual TwipsRect PlacementTwips() const = 0;
  virtual void CloseWindow() = 0;
};

// Collaborators of later parts (file sending, keyer); unset ones are skipped.
struct ShutdownHooks {
  std::function<void()> EndCWFile;
  std::function<void()> CloseCWPort;
};

void Shutdown(ProgramState& state, PacketWindowView& window, const ShutdownHooks& hooks,
              MessageSink& sink);

}  // namespace orvex
