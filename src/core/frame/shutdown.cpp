#include "core/frame/shutdown.h"

namespace orvex {

void Shutdown(ProgramState& state, PacketWindowView& window, SendPath& send, MessageSink& sink) {
  // Closing the window comes back here through its close event; the guard
  // makes that second pass a no-op instead of relying on it finding nothing.
  if (!state.PacketOpen || state.ShutdownDone) return;
  state.ShutdownDone = true;
  switch (UpdatePlacement(state.Env, window.State(), window.PlacementTwips())) {
    case PlacementResult::Changed:
      SaveSettings(state, sink);
      break;
    case PlacementResult::OutOfRange:
      // Not written: a placement that cannot be stored would come back wrong.
      sink.Warning("Packet End", "Can't close." + Text(CRLF) + "Overflow.");
      break;
    case PlacementResult::Unchanged:
      break;
  }
  // Whatever went wrong above, the file ends and the keyer does not stay open.
  send.EndCWFile();
  send.CloseCWPort();
  window.CloseWindow();
}

}  // namespace orvex
