// Message boxes for the command line: standard error, one paragraph a box.
#pragma once

#include <cstdio>

#include "app/message_sink.h"

namespace orvex {

class StderrMessageSink : public MessageSink {
 public:
  explicit StderrMessageSink(std::FILE* out = stderr) : out_(out) {}
  void Warning(const Text& title, const Text& text) override { Print(title, text); }
  void Information(const Text& title, const Text& text) override { Print(title, text); }

 private:
  void Print(const Text& title, const Text& text);
  std::FILE* out_;
};

}  // namespace orvex
