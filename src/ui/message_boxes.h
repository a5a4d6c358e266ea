// Message boxes as real Qt boxes.
#pragma once

#include "base/message_sink.h"

namespace orvex {

class QtMessageSink : public MessageSink {
 public:
  void Warning(const Text& title, const Text& text) override;
  void Information(const Text& title, const Text& text) override;
  bool Question(const Text& title, const Text& text) override;
};

}  // namespace orvex
