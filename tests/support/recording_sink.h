// A message sink that records every box instead of showing it; questions get
// the answer set beforehand.
#pragma once

#include <vector>

#include "base/message_sink.h"

namespace orvex::test {

struct RecordedBox {
  Text title;
  Text text;
  bool warning;
};

class RecordingSink : public MessageSink {
 public:
  void Warning(const Text& title, const Text& text) override {
    boxes.push_back({title, text, true});
  }
  void Information(const Text& title, const Text& text) override {
    boxes.push_back({title, text, false});
  }
  bool Question(const Text& title, const Text& text) override {
    questions.push_back({title, text, false});
    return answer;
  }
  // "title|text" of the last box, or "" when none was shown.
  Text Last() const {
    return boxes.empty() ? Text() : boxes.back().title + "|" + boxes.back().text;
  }

  std::vector<RecordedBox> boxes;
  std::vector<RecordedBox> questions;
  bool answer = false;
};

}  // namespace orvex::test
