// Reading a text file for the viewer: each line indented by two blanks and
// preceded by a line break, so the text starts with an empty line.
#pragma once

#include <string>

#include "app/message_sink.h"

namespace orvex {

struct ViewerText {
  bool ok = false;
  Text text;
  Text error;  // the box text when not ok
};

// name is what the window is titled with; path the file to read.
ViewerText ReadViewerText(const std::string& path);

}  // namespace orvex
