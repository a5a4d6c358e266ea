// The send path's seams in Qt: a single-shot timer for pauses, the repeating
// tick, the system beep, and the file dialog.
#pragma once

#include <QTimer>

#include "base/message_sink.h"
#include "core/sending/send_seams.h"

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

// The send path's tick on the event loop.
class QtRepeatingTimer : public RepeatingTimer {
 public:
  QtRepeatingTimer();
  void Start(int intervalMs, std::function<void()> tick) override;
  void Stop() override { timer_.stop(); }

 private:
  QTimer timer_;
  std::function<void()> tick_;
};

class QtBeeper : public Beeper {
 public:
  void Beep() override;
};

// Send File as CW's chooser: ChooseFile with FCH_READ over Qt's dialog.
class QtFileChooser : public FileChooser {
 public:
  explicit QtFileChooser(MessageSink& sink) : sink_(sink) {}
  // The window the dialogs belong to, once it exists.
  void SetParent(QWidget* parent) { parent_ = parent; }
  std::optional<std::string> ChooseFileToRead(const Text& title, const Text& filter,
                                              const std::string& startDir) override;

 private:
  QWidget* parent_ = nullptr;
  MessageSink& sink_;
};

}  // namespace orvex
