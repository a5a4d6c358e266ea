// A pause timer on whatever clock the send runs on, checked by its owner's
// loop: the command-line programs run it on the system clock, the tests on a
// simulated one.
#pragma once

#include <functional>

#include "base/clock.h"
#include "core/sending/send_seams.h"

namespace orvex {

class DeadlineTimer : public PauseTimer {
 public:
  explicit DeadlineTimer(Clock& clock) : clock_(clock) {}
  void Start(int ms, std::function<void()> done) override {
    due_ = clock_.MonotonicMs() + ms;
    done_ = std::move(done);
  }
  void Cancel() override { done_ = nullptr; }
  void Poll() {
    if (done_ && clock_.MonotonicMs() >= due_) {
      auto done = std::move(done_);
      done_ = nullptr;
      done();
    }
  }

 private:
  Clock& clock_;
  int64_t due_ = 0;
  std::function<void()> done_;
};

}  // namespace orvex
