#include "ui/qt_seams.h"

#include <QApplication>

#include "ui/file_append.h"
#include "ui/qt_text.h"

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

QtRepeatingTimer::QtRepeatingTimer() {
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (tick_) tick_();
  });
}

void QtRepeatingTimer::Start(int intervalMs, std::function<void()> tick) {
  tick_ = std::move(tick);
  timer_.start(intervalMs);
}

void QtBeeper::Beep() {
  QApplication::beep();
}

std::optional<std::string> QtFileChooser::ChooseFileToRead(const Text& title, const Text& filter,
                                                           const std::string& startDir) {
  QtFileDialog dialog(parent_);
  QtAppendQuestion question(parent_);
  // ChooseFile opens the file to prove it can be read; the sender opens it
  // again by its path and reads it line by line.
  auto chosen =
      ChooseFile(FCH_READ | FCH_FULL_PATH, startDir, "", filter, title, dialog, question, sink_);
  if (!chosen) return std::nullopt;
  return chosen->path;
}

}  // namespace orvex
