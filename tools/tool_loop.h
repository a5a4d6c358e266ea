// What the command-line programs need around the send path: a tick on their
// own loop, a beep that says so on standard error, and the check of a
// whole-number argument.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "base/clock.h"
#include "base/numbers.h"
#include "core/sending/send_seams.h"

namespace orvex::tools {

// An argument that must be a whole number from lo to hi: "--msg 1.5" is a
// mistake, not message 2.
inline bool WholeNumber(const std::string& text, int16_t lo, int16_t hi, int16_t* number) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos &&
         IsNumberInRange(text, lo, hi, number);
}

// The send path's tick, fired by the program's loop.
class LoopTimer : public RepeatingTimer {
 public:
  void Start(int intervalMs, std::function<void()> tick) override {
    interval_ = intervalMs;
    tick_ = std::move(tick);
  }
  void Stop() override { tick_ = nullptr; }
  int Interval() const { return interval_; }
  void Fire() {
    if (tick_) tick_();
  }

 private:
  int interval_ = 100;
  std::function<void()> tick_;
};

class StderrBeeper : public Beeper {
 public:
  explicit StderrBeeper(std::string program) : program_(std::move(program)) {}
  void Beep() override {
    ++beeps_;
    std::fprintf(stderr, "%s: the send queue is full; text refused\n", program_.c_str());
  }
  int Beeps() const { return beeps_; }

 private:
  std::string program_;
  int beeps_ = 0;
};

}  // namespace orvex::tools
