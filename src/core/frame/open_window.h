// Opening the main window at start-up: its colours, font, placement and
// metrics, the keyer's set-up, showing it. Any failure while it is built
// ends in a box and a false result, and start-up ends the program.
#pragma once

#include "base/message_sink.h"
#include "core/frame/line_editor.h"
#include "core/frame/program_state.h"
#include "core/sending/send_path.h"

namespace orvex {

// The main window's font as the settings hold it.
struct FontSpec {
  Text Name;  // "" leaves the pane's font as it is
  float Size = 9;
  bool Bold = false, Italic = false, Underline = false, Strikethru = false;
  Text MenuName = "'Options/TNC, Messages, History, ...'";
};

FontSpec PacketFont(const EnvSettings& settings);
// Refused, with the "Couldn't set font" text, when the font cannot be set
// (a size of 0 or less, or beyond the toolkit's).
Result CheckFont(const FontSpec& font);

// The main window, as opening it drives it.
class PacketWindowSetup {
 public:
  virtual ~PacketWindowSetup() = default;
  // Kind 3 foreground, 4 background (red + 256 green + 65536 blue).
  virtual void SetPacketColor(int kind, int32_t colour) = 0;
  virtual void ApplyFont(const FontSpec& font) = 0;
  virtual void RestorePlacement(const EnvSettings& settings) = 0;
  // Measures the pane and sizes it to 1.2 lines.
  virtual void Measure() = 0;
  // Shows the window and blinks the caret every 100 ms from now on.
  virtual void ShowWindow() = 0;
};

class PacketWindowFactory {
 public:
  virtual ~PacketWindowFactory() = default;
  // Builds the window, hidden, into *window; why not, when it cannot.
  virtual Result CreatePacketWindow(PacketWindowSetup** window) = 0;
};

// Opens the main window and sets up the keyer (a port that fails is
// reported and the window opens all the same). False after the "Set Font"
// or "Packet Start" box.
bool OpenPacketWindow(ProgramState& state, SendPath& send, LineEditor& editor,
                      PacketWindowFactory& factory, MessageSink& sink);

}  // namespace orvex
