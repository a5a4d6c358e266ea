// The warning box shared by input checks, keyer set-up and failure handlers,
// and the text it shows.
#pragma once

#include "base/message_sink.h"
#include "base/result.h"

namespace orvex {

// The text ShowMessage shows: a full stop unless the message already ends in
// "!", " " or "."; with a failure, a second line "(number) description" that
// ends in "!" or "." (one is added when it does not).
Text FormatMessage(const Text& message, const Result& error = {});

void ShowMessage(MessageSink& sink, const Text& message, const Result& error, const Text& title);

}  // namespace orvex
