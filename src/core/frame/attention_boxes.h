// The send path's Attention shown as message boxes: what failed in a
// warning box titled with the operation, the question in a Yes/No box. The
// window uses it with real boxes, the command-line programs with boxes
// printed on standard error (where the answer is always No).
#pragma once

#include "base/message_sink.h"
#include "core/sending/send_seams.h"

namespace orvex {

class AttentionBoxes : public Attention {
 public:
  explicit AttentionBoxes(MessageSink& sink) : sink_(sink) {}
  void Failed(const Text& operation, const Result& result) override {
    sink_.Warning(operation, result.Description());
  }
  bool Confirm(const Text& operation, const Text& question) override {
    return sink_.Question(operation, question);
  }

 private:
  MessageSink& sink_;
};

}  // namespace orvex
