// EnvSettings: every setting Orvex keeps between runs, with its default.
#pragma once

#include <array>
#include <cstdint>

#include "base/text.h"
#include "base/version.h"

namespace orvex {

inline constexpr int kMaxPttLeadMs = 500;
inline constexpr int kMaxPttTailMs = 3000;

struct EnvSettings {
  Text MyCall;
  int32_t ColorPktFore = 0;  // red + 256 * green + 65536 * blue; 0 = not set
  int32_t ColorPktBack = 0;
  Text CWPort = "None";
  int16_t CWSpeed = 28;
  int16_t CWSidetone_Device = 1;  // 1 PC speaker, 3 MIDI, 4 sound card wave
  int16_t CWSidetone_Enable = 1;
  int16_t CWTone = 600;
  int16_t CWWeight = 50;
  int16_t CWPttLead = 0;  // ms PTT rises before the first element, 0 to 500
  int16_t CWPttTail = 0;  // ms PTT is held after the last element, 0 to 3000
  // Where loggers key through the program over UDP: "6789" (this computer
  // only) or "address:port"; empty: they cannot.
  Text NetKeyer;
  // Placement in twips. 32 bits wide: a 16-bit twip count ends 2,184 pixels
  // from the screen origin, short of a 4K screen or a second monitor.
  int32_t PacketTop = -1;  // negative: no saved placement
  int32_t PacketLeft = 0;
  int32_t PacketHeight = 0;
  int32_t PacketWidth = 0;
  int16_t PacketState = 0;  // 0 normal, 2 maximized
  Text PacketFontName = "FixedSys";
  float PacketFontSize = 9;
  int16_t PacketFontBold = 0;
  int16_t PacketFontItalic = 0;
  int16_t PacketFontUnderline = 0;
  int16_t PacketFontStrikeThru = 0;
  Text Version;
  std::array<Text, 8> MsgCW;  // MsgCW[0] is message 1

  Text& Message(int n) { return MsgCW.at(static_cast<size_t>(n - 1)); }
  const Text& Message(int n) const { return MsgCW.at(static_cast<size_t>(n - 1)); }
  bool operator==(const EnvSettings&) const = default;
};

// The settings before anything was read: empty texts and zeros, as a failed
// open used to leave them.
EnvSettings ZeroedEnvSettings();

}  // namespace orvex
