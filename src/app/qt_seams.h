// The send path's seams in Qt: a single-shot timer for pauses, the system
// beep, and a plain file dialog.
#pragma once

#include <QTimer>

#include "keying/send_seams.h"

class QWidget;

namespace orvex {

class QtPauseTimer : public PauseTimer {
 public:
  QtPauseTimer();
  void Start(int ms, std::function<void()> done) override;
  void Cancel() override { timer_.stop(); }

 private:
  QTimer timer_;
  std::function<void()> done_;
};

class QtBeeper : public Beeper {
 public:
  void Beep() override;
};

class QtFileChooser : public FileChooser {
 public:
  explicit QtFileChooser(QWidget* parent) : parent_(parent) {}
  std::optional<std::string> ChooseFileToRead(const Text& title, const Text& filter,
                                              const std::string& startDir) override;

 private:
  QWidget* parent_;
};

}  // namespace orvex
