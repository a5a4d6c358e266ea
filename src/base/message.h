// The warning box shared by input checks, keyer set-up and failure handlers.
#pragma once

#include <optional>

#include "base/file_result.h"
#include "base/message_sink.h"

namespace orvex {

// A failure being reported: its number and the platform's description.
struct ErrorInfo {
  int number = 0;
  Text description;
};

// The description of an errno value, as program text.
ErrorInfo ErrorFromErrno(int err);
// The failure behind a file result.
inline ErrorInfo ErrorFrom(const FileResult& result) {
  if (result.failed()) return ErrorFromErrno(result.error());
  return {result.error(), result.Description()};
}

// The text ShowMessage shows: a full stop unless the message already ends in
// "!", " " or "."; with an error, a second line "(number) description" that
// ends in "!" or "." (one is added when it does not).
Text FormatMessage(const Text& message, const std::optional<ErrorInfo>& error);

void ShowMessage(MessageSink& sink, const Text& message, const std::optional<ErrorInfo>& error,
                 const Text& title);

}  // namespace orvex
