// Reading a text file for the viewer: each line indented by two blanks and
// preceded by a line break, so the text starts with an empty line.
#pragma once

#include <string>

#include "base/file_result.h"

namespace orvex {

struct ViewerText {
  FileResult result = FileResult::Ok();
  Text text;
  Text error;  // the box text when the file could not be read
};

ViewerText ReadViewerText(const std::string& path);

}  // namespace orvex
