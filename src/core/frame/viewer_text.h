// Reading a text file for the viewer: each line indented by two blanks and
// preceded by a line break, so the text starts with an empty line.
#pragma once

#include <string>

#include "base/result.h"

namespace orvex {

// The viewer's text into *text; when the file cannot be read, why, in the
// words of the viewer's box ("Can't open " and the path, and the reason).
Result ReadViewerText(const std::string& path, Text* text);

}  // namespace orvex
