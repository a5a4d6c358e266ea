#include "base/message.h"

#include <cerrno>
#include <cstring>

#include "base/file_result.h"

namespace orvex {

ErrorInfo ErrorFromErrno(int err) {
  if (err == kNotRegularFile) return ErrorInfo{EINVAL, "Not a regular file"};
  return ErrorInfo{err, Utf8ToCp1252(std::strerror(err))};
}

Text FormatMessage(const Text& message, const std::optional<ErrorInfo>& error) {
  Text text = message;
  if (text.empty() || (text.back() != '!' && text.back() != ' ' && text.back() != '.')) text += '.';
  if (error) {
    text += CRLF;
    text += '(';
    text += std::to_string(error->number);
    text += ") ";
    text += error->description;
    if (text.back() != '!' && text.back() != '.') text += '.';
  }
  return text;
}

void ShowMessage(MessageSink& sink, const Text& message, const std::optional<ErrorInfo>& error,
                 const Text& title) {
  sink.Warning(title, FormatMessage(message, error));
}

}  // namespace orvex
