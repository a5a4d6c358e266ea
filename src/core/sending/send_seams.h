// What the send path needs from around it: the typed-ahead line, timers, the
// system beep and the file dialog. The window and the composition root
// supply the real ones; tests and orvex-send their own.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "base/result.h"
#include "base/text.h"

namespace orvex {

// What the send path finds wrong while it runs (a port that cannot be
// opened or stops working, a sidetone nobody hears, a file that cannot be
// opened or read). The send path only tells, often from inside the tick:
// the window shows it once the tick is over, the command-line programs
// print it.
class Attention {
 public:
  virtual ~Attention() = default;
  // operation names what failed ("CW Setup", "Sidetone", "CW Start",
  // "Send CW File"); result.text() says what, in the operator's words.
  virtual void Failed(const Text& operation, const Result& result) = 0;
};

class TypeAheadLine {
 public:
  virtual ~TypeAheadLine() = default;
  virtual bool Empty() const = 0;
  // Removes the first character and returns it; the line shifts left and
  // its owner redraws it.
  virtual char TakeFirst() = 0;
  // Empties the line (Stop) and redraws it.
  virtual void Clear() = 0;
  // The operator's paddle broke in: what the line holds, with `untaken`
  // (taken from it but never keyed) back in front, waits until the
  // operator types into it again.
  virtual void Hold(const Text& untaken) { (void)untaken; }
  virtual bool Held() const { return false; }
};

// Text that keys with its own timing (a logger's exchanges over the
// network). The pump serves it after stored messages and before the typed
// character, a character at a time while the keyer's queue is short, so a
// stop drops what has not started and the operator's text keeps its turn.
class KeyedSource {
 public:
  virtual ~KeyedSource() = default;
  virtual size_t Waiting() const = 0;  // characters not yet keyed
  // Hands the next character to the keyer; returns it (Windows-1252).
  virtual unsigned char KeyNext() = 0;
  virtual void Clear() = 0;  // a stop: everything waiting dropped
  // The next character begins a text of its own (a logger's message, not
  // a character typed at a time), which the echo starts on a new line.
  virtual bool StartsText() { return false; }
};

// A one-shot timer for pauses.
class PauseTimer {
 public:
  virtual ~PauseTimer() = default;
  // Calls done once, ms milliseconds from now, unless cancelled first.
  virtual void Start(int ms, std::function<void()> done) = 0;
  virtual void Cancel() = 0;
};

// A timer that fires again and again: the send path's tick.
class RepeatingTimer {
 public:
  virtual ~RepeatingTimer() = default;
  virtual void Start(int intervalMs, std::function<void()> tick) = 0;
  virtual void Stop() = 0;
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

// Sees what enters the send queue and every pause (orvex-send's --dry-run
// and --trace), each character as it goes to the keyer, and a stop (the
// window's echo of what is sent).
class SendObserver {
 public:
  virtual ~SendObserver() = default;
  virtual void Queued(const Text& text, int level) = 0;
  virtual void Paused(int ms) = 0;
  // Character c (a line end is '\n') goes to the keyer; it is heard once
  // the keyer's Ended() count reaches firstElement.
  virtual void Keying(unsigned char, uint64_t /*firstElement*/) {}
  // A stop: what had not gone to the keyer yet (dropped, line ends as
  // '\n'), and everything the keyer had not started, was dropped.
  virtual void Stopped(const Text& /*dropped*/) {}
  // What the operator's hand sent, once it has gone (each character also
  // comes as Keying, for the echo).
  virtual void Hand(const Text& /*chars*/) {}
};

}  // namespace orvex
