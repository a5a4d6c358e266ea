// FileAppend: "Replace it or append to end?", and the Qt file dialog that
// ChooseFile shows.
#pragma once

#include <QDialog>

#include "core/frame/choose_file.h"

class QLabel;
class QPushButton;

namespace orvex {

class FileAppend : public QDialog {
  Q_OBJECT
 public:
  FileAppend(const Text& message, QWidget* parent);
  // kAnswerReplace, kAnswerAppend, or kAnswerCancel (also for Esc and the
  // close box).
  int Answer() const { return answer_; }
  QPushButton* CmdAppend() const { return append_; }

 private:
  int answer_ = kAnswerCancel;
  QPushButton* replace_;
  QPushButton* append_;
  QPushButton* cancel_;
};

class QtAppendQuestion : public AppendQuestionSeam {
 public:
  explicit QtAppendQuestion(QWidget* parent) : parent_(parent) {}
  int Ask(const Text& message) override;

 private:
  QWidget* parent_;
};

// Qt's own file dialog (not the desktop's), so tests can drive it.
class QtFileDialog : public FileDialogSeam {
 public:
  explicit QtFileDialog(QWidget* parent) : parent_(parent) {}
  std::optional<std::string> Show(bool save, const Text& title, const std::string& qtFilter,
                                  const std::string& initialDir,
                                  const std::string& fileName) override;

 private:
  QWidget* parent_;
};

}  // namespace orvex
