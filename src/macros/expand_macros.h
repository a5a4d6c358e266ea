// Message macros: #TIME #DATE #HIM #MSGn #CR #ME #PAUSE #REPEAT #FILE #^x,
// rewritten when a stored message or a file line is sent.
#pragma once

#include <array>

#include "app/text.h"
#include "macros/clock.h"

namespace orvex {

// Send-queue command codes that full mode produces.
inline constexpr char kCodePause = static_cast<char>(205);
inline constexpr char kCodeRepeat = static_cast<char>(206);
inline constexpr char kCodeFile = static_cast<char>(207);

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
