// Message boxes for the command line: standard error, one paragraph a box.
#pragma once

#include <cstdio>

#include "base/message_sink.h"

namespace orvex {

class StderrMessageSink : public MessageSink {
 public:
  explicit StderrMessageSink(std::FILE* out = stderr) : out_(out) {}
  void Warning(const Text& title, const Text& text) override {
    ++warnings_;
    Print(title, text);
  }
  void Information(const Text& title, const Text& text) override { Print(title, text); }
  // Nobody can answer on the command line: the answer is No, which leaves
  // things as they are.
  bool Question(const Text& title, const Text& text) override {
    Print(title, text + "\r\n(answered No)");
    return false;
  }
  int Warnings() const { return warnings_; }

 private:
  void Print(const Text& title, const Text& text);
  std::FILE* out_;
  int warnings_ = 0;
};

}  // namespace orvex
