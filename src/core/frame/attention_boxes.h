// The send path's Attention shown as message boxes at once: what failed in
// a warning box titled with the operation. The command-line programs and
// the tests use it with boxes printed or recorded; the window shows its
// boxes later, from the event loop (ui/message_boxes.h).
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

 private:
  MessageSink& sink_;
};

}  // namespace orvex
