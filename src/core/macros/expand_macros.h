// Message macros: #TIME #DATE #HIM #MSGn #CR #ME #PAUSE #REPEAT #FILE #^x,
// rewritten when a stored message or a file line is sent.
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
};

// Full mode (stored messages) expands every macro; limited mode (file lines)
// leaves #MSG, #PAUSE, #REPEAT and #FILE in the text. At most 50 "#" are
// examined, text after a replacement is kept up to 999 characters, #MSG
// inserts only while the text is under 1000 characters, pauses are 0 to 30 s.
Text ExpandMacros(const Text& input, bool fullMode, const MacroContext& context);

}  // namespace orvex
