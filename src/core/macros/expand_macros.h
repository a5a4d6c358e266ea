// Message macros: #TIME #DATE #HIM #MSGn #CR #ME #PAUSE #REPEAT #FILE #^x
// #SPEED #NR #NEXT, rewritten when a stored message or a file line is sent.
#pragma once

#include <array>

#include "base/clock.h"
#include "base/text.h"

namespace orvex {

struct MacroContext {
  const std::array<Text, 8>& messages;  // MsgCW 1..8
  const Text& hisCall;
  const Text& myCall;
  Clock& clock;
  const Text& serialNr;  // #NR as it is sent: "007", "TT7"
};

// A contest serial number as it is sent: leading zeros up to digits, and
// the digits in cuts as their cut letters (0 T, 1 A, 2 U, 3 V, 5 E, 7 B,
// 8 D, 9 N; 4 and 6 have none and stay).
Text SerialNumberText(long number, int digits, const Text& cuts);

// Full mode (stored messages) expands every macro; limited mode (file lines)
// leaves #MSG, #PAUSE, #REPEAT, #FILE, #SPEED and #NEXT in the text. #NEXT
// sends nothing: the message ends with the code that moves the serial
// number on once everything before it has been sent. At most 50 "#" are
// examined, text after a replacement is kept up to 999 characters, #MSG
// inserts only while the text is under 1000 characters, pauses are 0 to 30 s.
Text ExpandMacros(const Text& input, bool fullMode, const MacroContext& context);

}  // namespace orvex
