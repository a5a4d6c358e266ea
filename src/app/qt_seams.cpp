#include "app/qt_seams.h"

#include <QApplication>
#include <QFileDialog>

#include "app/qt_text.h"

namespace orvex {

QtPauseTimer::QtPauseTimer() {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (auto done = done_) done();
  });
}

void QtPauseTimer::Start(int ms, std::function<void()> done) {
  done_ = std::move(done);
  timer_.start(ms);
}

void QtBeeper::Beep() { QApplication::beep(); }

std::optional<std::string> QtFileChooser::ChooseFileToRead(const Text& title, const Text& filter,
                                                           const std::string& startDir) {
  // "All Files (*.*)|*.*" names and patterns in pairs; Qt wants "All Files (*)".
  Q_UNUSED(filter);
  const QString path = QFileDialog::getOpenFileName(parent_, ToQString(title),
                                                    QString::fromStdString(startDir), "All Files (*)");
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

}  // namespace orvex
