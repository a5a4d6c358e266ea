// The program's 100 ms tick that drives the send path. It belongs to the
// program, not to a window: the composition root runs it on the event loop,
// orvex-send on its own loop.
#pragma once

#include "core/sending/send_path.h"
#include "core/sending/send_seams.h"

namespace orvex {

class Ticker {
 public:
  static constexpr int kIntervalMs = 100;
  Ticker(SendPath& send, RepeatingTimer& timer) : send_(send), timer_(timer) {}
  ~Ticker() { Stop(); }
  void Start() {
    timer_.Start(kIntervalMs, [this] { send_.Tick(); });
  }
  void Stop() { timer_.Stop(); }

 private:
  SendPath& send_;
  RepeatingTimer& timer_;
};

}  // namespace orvex
