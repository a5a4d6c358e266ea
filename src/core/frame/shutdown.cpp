#include "core/frame/shutdown.h"

#include <exception>
#include <stdexcept>

namespace orvex {

void Shutdown(ProgramState& state, PacketWindowView& window, SendPath& send, MessageSink& sink) {
  // Closing the window comes back here through its close event; the guard
  // makes that second pass a no-op instead of relying on it finding nothing.
  if (!state.PacketOpen || state.ShutdownDone) return;
  state.ShutdownDone = true;
  try {
    switch (UpdatePlacement(state.Env, window.State(), window.PlacementTwips())) {
      case PlacementResult::Changed:
        if (state.EnvFile) state.EnvFile->WriteEnvironmentFile(state.Env);
        break;
      case PlacementResult::OutOfRange:
        throw std::overflow_error("Overflow");
      case PlacementResult::Unchanged:
        break;
    }
    send.EndCWFile();
    send.CloseCWPort();
  } catch (const std::exception& e) {
    sink.Warning("Packet End", "Can't close." + Text(CRLF) + Utf8ToCp1252(e.what()) + ".");
    // Whatever went wrong, the keyer must not stay open.
    try {
      send.CloseCWPort();
    } catch (...) {
    }
  }
  window.CloseWindow();
}

}  // namespace orvex
