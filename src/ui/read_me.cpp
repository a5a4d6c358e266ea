#include "ui/read_me.h"

#include <QFile>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextBrowser>
#include <QUrl>
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
  resize(TwipsToPixels(this, 7680), TwipsToPixels(this, 4875));
  CentreForm(this);
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
  const ViewerText file = ReadViewerText(path);
  if (!file.result.ok()) {
    sink_.Warning(name, file.error);
    return;
  }
  if (!window_) {
    window_ = new ReadMe(parent_);
    window_->setAttribute(Qt::WA_DeleteOnClose, false);
  }
  window_->TextBox()->setPlainText(ToDisplayString(file.text));
  window_->setWindowTitle(ToQString(name));
  window_->show();
  window_->raise();
  window_->activateWindow();
}

HelpViewer::~HelpViewer() {
  delete window_;
}

void HelpViewer::ShowHelp(const std::string& helpFile, int context) {
  if (helpFile.empty() || !QFile::exists(QString::fromStdString(helpFile))) return;
  if (!window_) {
    window_ = new QDialog(parent_, Qt::Window);
    window_->setObjectName("Help");
    window_->setWindowTitle("Orvex Help");
    browser_ = new QTextBrowser(window_);
    browser_->setObjectName("HelpText");
    browser_->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(window_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    window_->resize(TwipsToPixels(window_, 9600), TwipsToPixels(window_, 8400));
    CentreForm(window_);
  }
  const QUrl url = QUrl::fromLocalFile(QString::fromStdString(helpFile));
  if (browser_->source() != url) browser_->setSource(url, QTextDocument::HtmlResource);
  browser_->scrollToAnchor(QString("topic%1").arg(context));
  window_->show();
  window_->raise();
  window_->activateWindow();
}

}  // namespace orvex
