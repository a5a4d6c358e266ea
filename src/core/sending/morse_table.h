// The Morse code, written down once: each sendable character with its dots
// and dashes. The keyer's tables are built from it (MorseTable, and
// ElementTable with the element pairs per character code that the send
// pump hands to the keyer); the loggers' protocol and orvex-keylog read it
// too.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "base/text.h"

namespace orvex {

// 96 entries: the character, then "." dot, "-" dash, " " one unit of extra
// silence. Entry 1 is "a.-" (MorseTable[0] here).
using MorseTable = std::array<Text, 96>;
// 257 entries by character code; each a string of (state, units) byte pairs,
// state 0 key down, 128 key up. Empty: the character has no Morse code.
using ElementTable = std::array<Text, 257>;

inline constexpr unsigned char kKeyDown = 0;
inline constexpr unsigned char kKeyUp = 128;

// Procedure signs, for the characters that stand for them.
inline constexpr std::string_view kSignAR = ".-.-.";    // end of message ("+")
inline constexpr std::string_view kSignAS = ".-...";    // wait ("%")
inline constexpr std::string_view kSignBK = "-...-.-";  // break
inline constexpr std::string_view kSignSK = "...-.-";   // end of contact ("@")

MorseTable FillMorseTable();
ElementTable BuildElementTable(const MorseTable& morse);

// The dots and dashes of a Windows-1252 character; empty when it has none.
std::string_view MorseCode(unsigned char c);
// The character a listener writes for dots and dashes (capital letters,
// É for "..-.."); 0 when no character has them.
unsigned char MorseCharacter(std::string_view code);

// Character c as a keyer chip that knows only letters and figures sends
// it: the capital letter or figure, a blank, or two of them whose codes run
// together without a gap make c's code ("+" .-.-. as "EC"). Empty when c
// has no code.
std::string KeyerLetters(unsigned char c);

// How long c takes in units, the space after it included (a dot 2 with its
// gap, a dash 4, an extra unit 1, and 2 after the character); 0 for none.
int CharacterUnits(unsigned char c);

// One unit at a speed in words per minute ("PARIS" is 50 units), in ns.
inline int64_t UnitNs(int wpm) {
  return 1'200'000'000LL / (wpm < 1 ? 1 : wpm);
}
// The unit in whole ms, as the keyer counts it.
inline int16_t UnitMs(int wpm) {
  return static_cast<int16_t>(UnitNs(wpm) / 1'000'000);
}

}  // namespace orvex
