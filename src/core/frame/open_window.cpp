#include "core/frame/open_window.h"

#include "base/message.h"
#include "base/numbers.h"

namespace orvex {

FontSpec PacketFont(const EnvSettings& s) {
  return {s.PacketFontName,        s.PacketFontSize,           s.PacketFontBold != 0,
          s.PacketFontItalic != 0, s.PacketFontUnderline != 0, s.PacketFontStrikeThru != 0};
}

Result CheckFont(const FontSpec& font) {
  if (font.Name.empty() || (font.Size > 0 && font.Size <= 1638)) return {};
  const Text nl(CRLF);
  const Result invalid = Result::Failed(Fault::Refused, 380, "Invalid property value");
  return invalid.Told(FormatMessage(
      "Couldn't set font " + font.Name + (font.Size >= 0 ? " " : "") + DecimalText(font.Size) +
          "." + nl + "Pick another font from the" + nl + font.MenuName + " menu." + nl,
      invalid));
}

bool OpenPacketWindow(ProgramState& state, SendPath& send, LineEditor& editor,
                      PacketWindowFactory& factory, MessageSink& sink) {
  state.PacketOpen = false;
  PacketWindowSetup* window = nullptr;
  if (const Result created = factory.CreatePacketWindow(&window); !created.ok()) {
    sink.Warning("Packet Start",
                 "Can't open packet window." + Text(CRLF) + created.Description() + ".");
    return false;
  }
  const EnvSettings& s = state.Env;
  if (s.ColorPktFore != 0) {
    window->SetPacketColor(3, s.ColorPktFore);
    SaveSettings(state, sink);
    if (s.ColorPktBack != 0) {
      window->SetPacketColor(4, s.ColorPktBack);
      SaveSettings(state, sink);
    }
  }
  const FontSpec font = PacketFont(s);
  if (const Result fits = CheckFont(font); !fits.ok()) {
    sink.Warning("Set Font", fits.text());
    return false;
  }
  window->ApplyFont(font);
  window->RestorePlacement(s);
  editor.Reset();
  window->Measure();
  send.InitCW();
  (void)send.OpenCWPort(state.CWPortCode);  // a failure has been told; the window opens
  window->ShowWindow();
  state.PacketOpen = true;
  return true;
}

}  // namespace orvex
