// The send path's seams in Qt: a single-shot timer for pauses, the system
// beep, and a plain file dialog.
#pragma once

#include <QTimer>

#include "app/message_sink.h"
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

// Send File as CW's chooser: ChooseFile with FCH_READ over Qt's dialog.
class QtFileChooser : public FileChooser {
 public:
  QtFileChooser(QWidget* parent, MessageSink& sink) : parent_(parent), sink_(sink) {}
  std::optional<std::string> ChooseFileToRead(const Text& title, const Text& filter,
                                              const std::string& startDir) override;

 private:
  QWidget* parent_;
  MessageSink& sink_;
};

}  // namespace orvex
