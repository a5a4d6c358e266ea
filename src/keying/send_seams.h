// What the send path needs from around it: the typed-ahead line, a one-shot
// timer for pauses, the system beep and the file dialog. The window supplies
// the real ones; tests and orvex-send their own.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/text.h"

namespace orvex {

class TypeAheadLine {
 public:
  virtual ~TypeAheadLine() = default;
  virtual bool Empty() const = 0;
  // Removes the first character and returns it; the line shifts left and
  // its owner redraws it.
  virtual char TakeFirst() = 0;
  // Empties the line (Stop) and redraws it.
  virtual void Clear() = 0;
};

class PauseTimer {
 public:
  virtual ~PauseTimer() = default;
  // Calls done once, ms milliseconds from now, unless cancelled first.
  virtual void Start(int ms, std::function<void()> done) = 0;
  virtual void Cancel() = 0;
};

class Beeper {
 public:
  virtual ~Beeper() = default;
  virtual void Beep() = 0;
};

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // Lets the operator pick a file to read; its native path, or nothing when
  // cancelled.
  virtual std::optional<std::string> ChooseFileToRead(const Text& title, const Text& filter,
                                                      const std::string& startDir) = 0;
};

}  // namespace orvex
