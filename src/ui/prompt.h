// Prompt: a small modal dialog asking for one line of text (a speed, a call).
#pragma once

#include <QDialog>

#include "base/message_sink.h"
#include "core/frame/window_commands.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace orvex {

class Prompt : public QDialog {
  Q_OBJECT
 public:
  Prompt(const Text& title, const Text& label, const Text& text, MessageSink& sink, QWidget* parent,
         PromptCheck check = {});

  // The accepted text, blanks removed at both ends.
  const Text& Answer() const { return answer_; }

  QLineEdit* PromptText() const { return text_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  void Ok();

  MessageSink& sink_;
  PromptCheck check_;
  QLabel* label_;
  QLineEdit* text_;
  QPushButton* ok_;
  QPushButton* cancel_;
  Text answer_;
};

// Shows the prompt; true with *text set to the answer on OK, false with
// *text emptied on Cancel, Esc or the close box. An answer the check
// refuses keeps the prompt open after its box.
bool ShowPrompt(const Text& title, const Text& label, Text* text, MessageSink& sink,
                QWidget* parent, const PromptCheck& check = {});

}  // namespace orvex
