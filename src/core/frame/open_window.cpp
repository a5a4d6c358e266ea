#include "core/frame/open_window.h"

#include <exception>

#include "base/message.h"
#include "base/numbers.h"

namespace orvex {

FontSpec PacketFont(const EnvSettings& s) {
  return {s.PacketFontName,        s.PacketFontSize,           s.PacketFontBold != 0,
          s.PacketFontItalic != 0, s.PacketFontUnderline != 0, s.PacketFontStrikeThru != 0};
}

std::optional<Text> FontFailure(const FontSpec& font) {
  if (font.Name.empty() || (font.Size > 0 && font.Size <= 1638)) return std::nullopt;
  const Text nl(CRLF);
  return "Couldn't set font " + font.Name + (font.Size >= 0 ? " " : "") + DecimalText(font.Size) +
         "." + nl + "Pick another font from the" + nl + font.MenuName + " menu." + nl;
}

bool OpenPacketWindow(ProgramState& state, SendPath& send, LineEditor& editor,
                      PacketWindowFactory& factory, MessageSink& sink) {
  state.PacketOpen = false;
  try {
    PacketWindowSetup& window = factory.CreatePacketWindow();
    const EnvSettings& s = state.Env;
    if (s.ColorPktFore != 0) {
      window.SetPacketColor(3, s.ColorPktFore);
      state.EnvFile->WriteEnvironmentFile(state.Env);
      if (s.ColorPktBack != 0) {
        window.SetPacketColor(4, s.ColorPktBack);
        state.EnvFile->WriteEnvironmentFile(state.Env);
      }
    }
    const FontSpec font = PacketFont(s);
    if (const auto failure = FontFailure(font)) {
      ShowMessage(sink, *failure, ErrorInfo{380, "Invalid property value"}, "Set Font");
      return false;
    }
    window.ApplyFont(font);
    window.RestorePlacement(s);
    editor.Reset();
    window.Measure();
    send.Port().InitCW();
    send.OpenCWPort(state.CWPortCode);  // a failure has shown its box; the window opens
    window.ShowWindow();
    state.PacketOpen = true;
    return true;
  } catch (const std::exception& e) {
    sink.Warning("Packet Start",
                 "Can't open packet window." + Text(CRLF) + Utf8ToCp1252(e.what()) + ".");
    return false;
  }
}

}  // namespace orvex
