#include "ui/help_window.h"

#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/centre_form.h"
#include "ui/twips.h"

namespace orvex {

HelpWindow::HelpWindow()
    : QWidget(nullptr, Qt::Window),
      browser_(new QTextBrowser(this)),
      find_(new QLineEdit(this)),
      contents_(new QListWidget(this)) {
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
  contents_->setObjectName("HelpContents");
  connect(contents_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    browser_->scrollToAnchor(item->data(Qt::UserRole).toString());
  });
  connect(contents_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    browser_->scrollToAnchor(item->data(Qt::UserRole).toString());
  });
  auto* split = new QSplitter(this);
  split->addWidget(contents_);
  split->addWidget(browser_);
  split->setStretchFactor(1, 1);
  split->setSizes({TwipsToPixels(this, 3000), TwipsToPixels(this, 9000)});
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(split, 1);
  resize(TwipsToPixels(this, 12600), TwipsToPixels(this, 8400));
  FitAndCentre(this);
}

void HelpWindow::Open(const QString& helpFile, int context) {
  const QUrl url = QUrl::fromLocalFile(helpFile);
  if (browser_->source() != url) {
    browser_->setSource(url, QTextDocument::HtmlResource);
    FillContents();
  }
  // The topic's heading at the top of the view.
  browser_->scrollToAnchor(QString("topic%1").arg(context));
}

void HelpWindow::FillContents() {
  contents_->clear();
  for (QTextBlock block = browser_->document()->begin(); block.isValid(); block = block.next()) {
    const int level = block.blockFormat().headingLevel();
    if (level < 2) continue;
    QString anchor;
    for (auto it = block.begin(); !it.atEnd() && anchor.isEmpty(); ++it)
      if (!it.fragment().charFormat().anchorNames().isEmpty())
        anchor = it.fragment().charFormat().anchorNames().first();
    if (anchor.isEmpty()) continue;
    auto* item = new QListWidgetItem(QString((level - 2) * 3, ' ') + block.text().trimmed());
    item->setData(Qt::UserRole, anchor);
    contents_->addItem(item);
  }
  // Every heading readable without a scroll bar, within reason.
  contents_->setMinimumWidth(
      std::min(contents_->sizeHintForColumn(0) + 2 * contents_->frameWidth() + 8,
               TwipsToPixels(this, 5400)));
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
