#include "ui/message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "ui/qt_text.h"

namespace orvex {
namespace {

void Show(QMessageBox::Icon icon, const Text& title, const Text& text) {
  QMessageBox box(icon, ToQString(Printable(title)), ToDisplayString(Printable(text)),
                  QMessageBox::Ok, QApplication::activeWindow());
  box.setObjectName("OrvexMessageBox");
  box.exec();
}

}  // namespace

void QtMessageSink::Warning(const Text& title, const Text& text) {
  Show(QMessageBox::Warning, title, text);
}

void QtMessageSink::Information(const Text& title, const Text& text) {
  Show(QMessageBox::NoIcon, title, text);
}

bool QtMessageSink::Question(const Text& title, const Text& text) {
  QMessageBox box(QMessageBox::Question, ToQString(title), ToDisplayString(text),
                  QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
  box.setObjectName("OrvexMessageBox");
  return box.exec() == QMessageBox::Yes;
}

void LaterBoxes::Failed(const Text& operation, const Result& result) {
  waiting_.push_back({operation, result.Description()});
  if (waiting_.size() == 1) QTimer::singleShot(0, [this] { ShowWaiting(); });
}

void LaterBoxes::ShowWaiting() {
  // Taken first: a box's own event loop may run the tick, which may find
  // something more to show.
  const auto boxes = std::move(waiting_);
  waiting_.clear();
  for (const auto& [title, text] : boxes) sink_.Warning(title, text);
}

}  // namespace orvex
