// ReadMe: the one text viewer window (readme.txt, changes.txt), and the
// help window that shows pelo.hlp at a topic.
#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextBrowser>
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

// The help window: pelo.hlp (HTML, one anchor "topicN" per context number).
class HelpViewer {
 public:
  explicit HelpViewer(QWidget* parent) : parent_(parent) {}
  ~HelpViewer();
  // Opens the help file at topic context; a missing help file is ignored.
  void ShowHelp(const std::string& helpFile, int context);
  QTextBrowser* Browser() const { return browser_; }

 private:
  QWidget* parent_;
  QPointer<QDialog> window_;
  QPointer<QTextBrowser> browser_;
};

}  // namespace orvex
