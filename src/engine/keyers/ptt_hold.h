// A hold of PTT that a logger asked for (ESC a1), and its limit: PTT held
// with nothing keyed is a stuck transmitter. The limit counts from the
// first hold since the last key-down, so asking again (a logger repeating
// its request every few seconds) does not extend it; once it has run out,
// only a key-down lets PTT be held again. Every keyer keeps one, on its
// own clock (ns).
#pragma once

#include <algorithm>
#include <cstdint>

#include "engine/system/engine_clock.h"

namespace orvex::engine {

class PttHold {
 public:
  // Held (on) or released at now; limitNs 0: no limit. False when a hold
  // is refused: its limit ran out with nothing keyed since.
  bool Ask(bool on, int64_t limitNs, int64_t now) {
    if (!on) {
      held_ = false;
      return true;
    }
    limitNs_ = std::max<int64_t>(limitNs, 0);
    if (!counting_) {
      first_ = now;
      counting_ = true;
    }
    held_ = Deadline() > now;
    return held_;
  }
  // A key-down: the next hold counts afresh.
  void KeyDown() { counting_ = false; }
  // What was keyed ended then: a hold's limit counts from there too.
  void KeyedUntil(int64_t at) { keyedUntil_ = std::max(keyedUntil_, at); }
  bool Held() const { return held_; }
  // When the hold runs out; kNoDeadline without a limit.
  int64_t Deadline() const {
    return limitNs_ > 0 ? std::max(first_, keyedUntil_) + limitNs_ : kNoDeadline;
  }
  // At its deadline the hold ends: true once, when it did.
  bool Expire(int64_t now) {
    if (!held_ || now < Deadline()) return false;
    held_ = false;
    return true;
  }
  void Drop() { held_ = false; }

 private:
  bool held_ = false, counting_ = false;
  int64_t first_ = 0, keyedUntil_ = 0, limitNs_ = 0;
};

}  // namespace orvex::engine
