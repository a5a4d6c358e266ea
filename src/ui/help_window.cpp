#include "ui/help_window.h"

#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/centre_form.h"
#include "ui/twips.h"

namespace orvex {

HelpWindow::HelpWindow()
    : QWidget(nullptr, Qt::Window), browser_(new QTextBrowser(this)), find_(new QLineEdit(this)) {
  setObjectName("Help");
  setWindowTitle("Orvex Help");
  browser_->setObjectName("HelpText");
  browser_->setOpenExternalLinks(true);
  find_->setObjectName("HelpFind");
  find_->setPlaceholderText("Find (Ctrl+F)");
  find_->setClearButtonEnabled(true);
  auto* back = new QPushButton("&Back", this);
  auto* forward = new QPushButton("&Forward", this);
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
  connect(find_, &QLineEdit::returnPressed, this, &HelpWindow::FindNext);
  connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
    find_->setFocus();
    find_->selectAll();
  });
  auto* bar = new QHBoxLayout;
  bar->addWidget(back);
  bar->addWidget(forward);
  bar->addWidget(find_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(browser_, 1);
  resize(TwipsToPixels(this, 9600), TwipsToPixels(this, 8400));
  CentreForm(this);
}

void HelpWindow::Open(const QString& helpFile, int context) {
  const QUrl url = QUrl::fromLocalFile(helpFile);
  if (browser_->source() != url) browser_->setSource(url, QTextDocument::HtmlResource);
  browser_->scrollToAnchor(QString("topic%1").arg(context));
}

bool HelpWindow::FindNext() {
  const QString text = find_->text();
  if (text.isEmpty()) return false;
  if (browser_->find(text)) return true;
  browser_->moveCursor(QTextCursor::Start);  // wrap round to the top
  return browser_->find(text);
}

void HelpWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape)
    close();
  else
    QWidget::keyPressEvent(event);
}

void HelpViewer::ShowHelp(const std::string& helpFile, int context) {
  if (helpFile.empty() || !QFile::exists(QString::fromStdString(helpFile))) return;
  if (!window_) window_ = new HelpWindow;
  window_->Open(QString::fromStdString(helpFile), context);
  window_->show();
  window_->raise();
  window_->activateWindow();
}

}  // namespace orvex
