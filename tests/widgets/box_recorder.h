// A message sink for widget tests: each warning as "title|text"; questions
// are answered No.
#pragma once

#include <QStringList>

#include "app/message_sink.h"
#include "app/qt_text.h"

namespace orvex::test {

class BoxRecorder : public MessageSink {
 public:
  void Warning(const Text& title, const Text& text) override {
    boxes << ToQString(title + "|" + text);
  }
  void Information(const Text& title, const Text&) override { boxes << ToQString(title); }
  bool Question(const Text&, const Text&) override { return false; }
  QStringList boxes;
};

}  // namespace orvex::test
