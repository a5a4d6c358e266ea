// Message boxes as real Qt boxes.
#pragma once

#include <utility>
#include <vector>

#include "base/message_sink.h"
#include "core/sending/send_seams.h"

namespace orvex {

class QtMessageSink : public MessageSink {
 public:
  void Warning(const Text& title, const Text& text) override;
  void Information(const Text& title, const Text& text) override;
  bool Question(const Text& title, const Text& text) override;
};

// What the send path finds wrong, shown in the window: each in its box once
// the call that found it (the tick, a pass of the pump, a logger's request)
// has returned to the event loop. A box opened from inside the tick would
// hold the tick, and everything it keeps going, for as long as it is open.
class LaterBoxes : public Attention {
 public:
  explicit LaterBoxes(MessageSink& sink) : sink_(sink) {}
  void Failed(const Text& operation, const Result& result) override;

 private:
  void ShowWaiting();
  MessageSink& sink_;
  std::vector<std::pair<Text, Text>> waiting_;  // title, text
};

}  // namespace orvex
