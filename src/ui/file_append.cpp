#include "ui/file_append.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/centre_form.h"
#include "ui/qt_text.h"
#include "ui/twips.h"

namespace orvex {

FileAppend::FileAppend(const Text& message, QWidget* parent)
    : QDialog(parent),
      replace_(new QPushButton("&Replace", this)),
      append_(new QPushButton("&Append", this)),
      cancel_(new QPushButton("&Cancel", this)) {
  setObjectName("FileAppend");
  setWindowTitle(" Append/Replace File");
  auto* text = new QLabel(ToDisplayString(message), this);
  text->setObjectName("Message");
  text->setAlignment(Qt::AlignCenter);
  text->setWordWrap(true);
  text->setMinimumWidth(TwipsToPixels(this, 3615));
  replace_->setObjectName("CmdReplace");
  append_->setObjectName("CmdAppend");
  cancel_->setObjectName("CmdCancel");
  replace_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {replace_, append_, cancel_}) buttons->addWidget(b);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text);
  layout->addLayout(buttons);
  setTabOrder(replace_, append_);
  setTabOrder(append_, cancel_);
  auto answer = [this](int a) {
    return [this, a] {
      answer_ = a;
      done(a);
    };
  };
  connect(replace_, &QPushButton::clicked, this, answer(kAnswerReplace));
  connect(append_, &QPushButton::clicked, this, answer(kAnswerAppend));
  connect(cancel_, &QPushButton::clicked, this, answer(kAnswerCancel));
  adjustSize();
  CentreForm(this);
}

int QtAppendQuestion::Ask(const Text& message) {
  FileAppend dialog(message, parent_);
  dialog.exec();
  return dialog.Answer();
}

std::optional<std::string> QtFileDialog::Show(bool save, const Text& title,
                                              const std::string& qtFilter,
                                              const std::string& initialDir,
                                              const std::string& fileName) {
  QFileDialog dialog(parent_, ToQString(title), QString::fromStdString(initialDir),
                     QString::fromStdString(qtFilter));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  // Folders and existing files are ChooseFile's to judge.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (!fileName.empty()) dialog.selectFile(QString::fromStdString(fileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

}  // namespace orvex
