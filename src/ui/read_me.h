// ReadMe: the one text viewer window (readme.txt, changes.txt).
#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <QPointer>
#include <string>

#include "base/message_sink.h"

namespace orvex {

class ReadMe : public QDialog {
  Q_OBJECT
 public:
  explicit ReadMe(QWidget* parent);
  QPlainTextEdit* TextBox() const { return text_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPlainTextEdit* text_;
};

// Shows a file of the program directory in the one ReadMe window, titled
// with name; "Can't open"/"Can't read" boxes titled with name on failure.
class TextViewer {
 public:
  TextViewer(MessageSink& sink, QWidget* parent) : sink_(sink), parent_(parent) {}
  ~TextViewer();
  void ShowTextFile(const Text& name, const std::string& path);
  ReadMe* Window() const { return window_; }

 private:
  MessageSink& sink_;
  QWidget* parent_;
  QPointer<ReadMe> window_;  // owned by the parent window; gone with it
};

}  // namespace orvex
