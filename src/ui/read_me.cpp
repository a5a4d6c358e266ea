#include "ui/read_me.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QStyle>
#include <QVBoxLayout>

#include "core/frame/viewer_text.h"
#include "ui/centre_form.h"
#include "ui/qt_text.h"
#include "ui/twips.h"

namespace orvex {

ReadMe::ReadMe(QWidget* parent) : QDialog(parent), text_(new QPlainTextEdit(this)) {
  setObjectName("ReadMe");
  setWindowFlags(Qt::Window);
  text_->setObjectName("Text");
  text_->setReadOnly(true);
  text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);  // text files keep their own lines
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text_->installEventFilter(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(text_);  // the text box fills the window at every size
  // Wide enough for 80 columns of its font (text files are written to that
  // width), beside the scroll bar and the frame.
  const int columns = text_->fontMetrics().horizontalAdvance(QString(80, 'M')) +
                      2 * text_->frameWidth() +
                      2 * static_cast<int>(text_->document()->documentMargin()) +
                      style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4;
  resize(std::max(TwipsToPixels(this, 7680), columns), TwipsToPixels(this, 4875));
  FitAndCentre(this);
}

bool ReadMe::eventFilter(QObject* watched, QEvent* event) {
  if (watched == text_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    close();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

TextViewer::~TextViewer() {
  delete window_;
}

void TextViewer::ShowTextFile(const Text& name, const std::string& path) {
  Text text;
  if (const Result read = ReadViewerText(path, &text); !read.ok()) {
    sink_.Warning(name, read.text());
    return;
  }
  if (!window_) {
    window_ = new ReadMe(parent_);
    window_->setAttribute(Qt::WA_DeleteOnClose, false);
  }
  window_->TextBox()->setPlainText(ToDisplayString(text));
  window_->setWindowTitle(ToQString(name));
  window_->show();
  window_->raise();
  window_->activateWindow();
}

}  // namespace orvex
