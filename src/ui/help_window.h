// HelpWindow: pelo.hlp (HTML, one anchor "topicN" per help context) in a
// window of its own, with a contents list of its headings, Back, Forward
// and a find field. It belongs to no
// other window, so a modal dialog (CW Options) never blocks it: the operator
// reads the help while the dialog stays open.
#pragma once

#include <QPointer>
#include <QWidget>
#include <string>

class QLineEdit;
class QListWidget;
class QTextBrowser;

namespace orvex {

class HelpWindow : public QWidget {
  Q_OBJECT
 public:
  HelpWindow();
  void Open(const QString& helpFile, int context);
  QTextBrowser* Browser() const { return browser_; }
  QLineEdit* FindField() const { return find_; }
  // The next place the find field's text occurs, from the top again at the
  // end; false when it occurs nowhere.
  bool FindNext();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The headings that carry an anchor, indented by level.
  void FillContents();
  QTextBrowser* browser_;
  QLineEdit* find_;
  QListWidget* contents_;
};

// The one help window of the program, made on first use.
class HelpViewer {
 public:
  ~HelpViewer() { delete window_; }
  // Opens the help file at topic context; a missing help file is ignored.
  void ShowHelp(const std::string& helpFile, int context);
  HelpWindow* Window() const { return window_; }

 private:
  QPointer<HelpWindow> window_;
};

}  // namespace orvex
