// The About box.
#pragma once

#include "base/message_sink.h"

namespace orvex {

Text AboutText();
// A box with no icon titled "About Orvex".
void ShowAbout(MessageSink& sink);

}  // namespace orvex
