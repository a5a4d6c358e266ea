// Text to keying elements: MorseTable holds each sendable character with its
// dots and dashes, ElementTable the ready-made element pairs per character
// code that the send pump hands to the keyer.
#pragma once

#include <array>
#include <cstdint>

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

MorseTable FillMorseTable();
ElementTable BuildElementTable(const MorseTable& morse);

}  // namespace orvex
