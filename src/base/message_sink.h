// The one seam every message box of the program goes through. The program
// shows real boxes, tests record what would have been shown, orvex-send
// prints to standard error. Titles and texts are program text (Windows-1252)
// and multi-line texts use CRLF between lines.
#pragma once

#include "base/text.h"

namespace orvex {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Modal box with the warning icon and one OK button.
  virtual void Warning(const Text& title, const Text& text) = 0;
  // Modal box with no icon and one OK button (the About box).
  virtual void Information(const Text& title, const Text& text) = 0;
  // Yes/No question with the question icon; true for Yes.
  virtual bool Question(const Text& title, const Text& text) = 0;
};

}  // namespace orvex
