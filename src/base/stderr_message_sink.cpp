#include "base/stderr_message_sink.h"

namespace orvex {

void StderrMessageSink::Print(const Text& title, const Text& text) {
  // Title, ": ", the text with its CRLFs as newlines, then an empty line.
  const std::string out =
      Cp1252ToUtf8(Printable(title) + ": " + ReplaceAll(Printable(text), CRLF, "\n") + "\n\n");
  std::fwrite(out.data(), 1, out.size(), out_);
  std::fflush(out_);
}

}  // namespace orvex
