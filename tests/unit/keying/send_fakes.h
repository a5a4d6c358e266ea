// Fakes around the send path: a pause timer fired by hand (or when a
// manual clock passes its deadline), a beeper that counts, a typed line.
#pragma once

#include <functional>

#include "keying/send_seams.h"
#include "macros/clock.h"

namespace orvex::test {

class FakeTimer : public PauseTimer {
 public:
  explicit FakeTimer(Clock& clock) : clock_(clock) {}
  void Start(int ms, std::function<void()> done) override {
    ++starts;
    lastMs = ms;
    due_ = clock_.MonotonicMs() + ms;
    done_ = std::move(done);
  }
  void Cancel() override { done_ = nullptr; }
  bool Running() const { return static_cast<bool>(done_); }
  void FireIfDue() {
    if (done_ && clock_.MonotonicMs() >= due_) {
      auto done = std::move(done_);
      done_ = nullptr;
      done();
    }
  }
  int starts = 0;
  int lastMs = 0;

 private:
  Clock& clock_;
  int64_t due_ = 0;
  std::function<void()> done_;
};

class CountingBeeper : public Beeper {
 public:
  void Beep() override { ++beeps; }
  int beeps = 0;
};

class FakeTypeAhead : public TypeAheadLine {
 public:
  bool Empty() const override { return line.empty(); }
  char TakeFirst() override {
    const char c = line.front();
    line.erase(0, 1);
    return c;
  }
  void Clear() override { line.clear(); }
  Text line;
};

}  // namespace orvex::test
