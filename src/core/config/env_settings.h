// EnvSettings: every setting Orvex keeps between runs. Their keys, defaults,
// limits and how each is written are in the settings table
// (settings_table.h); a new EnvSettings starts at those defaults.
#pragma once

#include <array>
#include <cstdint>

#include "base/text.h"
#include "base/version.h"

namespace orvex {

struct EnvSettings {
  EnvSettings();  // every setting at its default

  Text MyCall;
  int32_t ColorPktFore{};  // red + 256 * green + 65536 * blue; 0 = not set
  int32_t ColorPktBack{};
  Text CWPort;
  int16_t CWSpeed{};
  int16_t CWSidetone_Device{};  // 1 PC speaker, 3 MIDI, 4 sound card wave
  int16_t CWSidetone_Enable{};
  int16_t CWTone{};
  // The keying's shape: weight 10 to 90 (50: dots as long as the gaps
  // after them), the overall speed for Farnsworth spacing (0: off), and
  // the units between words (6 or 7).
  int16_t CWWeight{};
  int16_t CWFarnsworth{};
  int16_t CWWordSpace{};
  int16_t CWPttLead{};  // ms PTT rises before the first element
  int16_t CWPttTail{};  // ms PTT is held after the last element
  // How the station keys: "Line" (the port's own lines, timed here),
  // "WinKeyer" (a keyer chip on the serial port), "Rig" (the radio's own
  // keyer, through Hamlib) or "Remote" (a keyer on another machine).
  Text CWKeyer;
  Text CWKeyLine;  // the serial line that keys: "DTR" or "RTS"
  Text CWPttLine;  // PTT: "RTS", "DTR", "None" or "Rig" (the radio's, over CAT)
  // The operator's own hand: "None", "IambicA", "IambicB", "Ultimatic",
  // "Bug" or "Straight"; its port (a COM name or a device path; empty: the
  // CW port's lines), the status lines of its dit and dah contacts ("CTS",
  // "DSR", "DCD", "RI"; a straight key is on the dit's), and 1 to swap dit
  // and dah (a left-handed operator's paddle).
  Text Paddle;
  Text PaddlePort;
  Text PaddleDit;
  Text PaddleDah;
  int16_t PaddleSwap{};
  int32_t RigModel{};  // Hamlib's model number; 2 is a running rigctld
  Text RigPort;        // the radio's device, or host:port of the rigctld
  int32_t RigBaud{};   // 0: the model's own
  Text RemoteKeyer;    // host:port of a keyer on another machine
  // Contest serial numbers: the next one (#NR), how many digits with
  // leading zeros, and which digits go as cut letters ("09": 0 as T, 9 as N).
  int32_t ContestNr{};
  int16_t NrDigits{};
  Text CutNumbers;
  // Where loggers key through the program over UDP: "6789" or
  // "127.0.0.1:6789" (this computer only); empty: they cannot.
  Text NetKeyer;
  int16_t NetPttLimit{};  // s a logger's hold of PTT may last with nothing keyed
  // s a sender that keeps telling it keys (another Orvex) may fall silent
  // before what it started here is ended
  int16_t NetSilenceLimit{};
  // Placement in twips. 32 bits wide: a 16-bit twip count ends 2,184 pixels
  // from the screen origin, short of a 4K screen or a second monitor.
  int32_t PacketTop{};  // negative: no saved placement
  int32_t PacketLeft{};
  int32_t PacketHeight{};
  int32_t PacketWidth{};
  int16_t PacketState{};  // 0 normal, 2 maximized
  Text PacketFontName;
  float PacketFontSize{};
  int16_t PacketFontBold{};
  int16_t PacketFontItalic{};
  int16_t PacketFontUnderline{};
  int16_t PacketFontStrikeThru{};
  Text Version;
  std::array<Text, 8> MsgCW;  // MsgCW[0] is message 1

  Text& Message(int n) { return MsgCW.at(static_cast<size_t>(n - 1)); }
  const Text& Message(int n) const { return MsgCW.at(static_cast<size_t>(n - 1)); }
  bool operator==(const EnvSettings&) const = default;
};

}  // namespace orvex
