// The Morse code, written down once: each sendable character (Windows-1252)
// with its dots and dashes, the signs loggers and keyer chips write for
// the procedure signs, and how long a character and a unit take. The send
// path's tables are built from it; every keyer writes characters by it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvex::engine {

// Procedure signs, for the characters that stand for them.
inline constexpr std::string_view kSignAR = ".-.-.";    // end of message ("+")
inline constexpr std::string_view kSignAS = ".-...";    // wait ("%")
inline constexpr std::string_view kSignBK = "-...-.-";  // break
inline constexpr std::string_view kSignSK = "...-.-";   // end of contact ("@")

// The code's characters in order (a to z, A to Z, 1 to 9 and 0, then the
// signs): 96 of them, for the send path's table.
struct MorseEntry {
  unsigned char c;
  std::string_view code;  // "." dot, "-" dash, " " one unit of extra silence
};
const MorseEntry* MorseEntries(size_t* count);

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

// One unit at a speed in words per minute ("PARIS" is 50 units), in ns:
// exact at every speed (1200 / WPM ms).
inline int64_t UnitNs(int wpm) {
  return 1'200'000'000LL / (wpm < 1 ? 1 : wpm);
}

}  // namespace orvex::engine
