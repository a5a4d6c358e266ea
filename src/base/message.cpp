#include "base/message.h"

#include <cerrno>
#include <cstring>

namespace orvex {

Text SystemErrorText(int err) {
  if (err == kNotRegularFile) return "Not a regular file";
  return Utf8ToCp1252(std::strerror(err));
}

Text Result::Description() const {
  if (!text_.empty()) return text_;
  return SystemErrorText(missing() ? ENOENT : err_);
}

Text FormatMessage(const Text& message, const Result& error) {
  Text text = message;
  if (text.empty() || (text.back() != '!' && text.back() != ' ' && text.back() != '.')) text += '.';
  if (error.failed()) {
    text += CRLF;
    text += '(';
    // Our own "not a regular file" is shown as the system's invalid argument.
    text += std::to_string(error.error() == kNotRegularFile ? EINVAL : error.error());
    text += ") ";
    text += error.Description();
    if (text.back() != '!' && text.back() != '.') text += '.';
  }
  return text;
}

void ShowMessage(MessageSink& sink, const Text& message, const Result& error, const Text& title) {
  sink.Warning(title, FormatMessage(message, error));
}

}  // namespace orvex
