// The send path's tables, built from the Morse code (engine's
// morse_code.h): MorseTable, and ElementTable with the element pairs per
// character code that the send pump hands to the keyer.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "base/text.h"
#include "engine/keyers/morse_code.h"

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

// The code itself, for the send path as for every keyer.
using engine::CharacterUnits;
using engine::KeyerLetters;
using engine::kSignAR;
using engine::kSignAS;
using engine::kSignBK;
using engine::kSignSK;
using engine::MorseCharacter;
using engine::MorseCode;
using engine::UnitNs;

}  // namespace orvex
