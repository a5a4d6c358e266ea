// The time the timing thread keys by: CLOCK_MONOTONIC and an exact wait for
// a deadline that a wake-up word can cut short (an abort, a new element).
// Tests pass a clock of their own that moves only when told and can make a
// wait end late, as a stalled machine does.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>

namespace orvex::engine {

inline constexpr int64_t kNoDeadline = std::numeric_limits<int64_t>::max();

class EngineClock {
 public:
  virtual ~EngineClock() = default;
  virtual int64_t Now() = 0;  // nanoseconds
  // Waits until deadline (kNoDeadline: for ever), or until wake no longer
  // holds seen. It may also end early for no reason; callers look again.
  virtual void WaitUntil(int64_t deadline, const std::atomic<uint32_t>& wake, uint32_t seen) = 0;
  // A clock that moves only when told drives the engine from the caller's
  // thread (KeyerEngine::RunQueued) instead of a timing thread.
  virtual bool Manual() const { return false; }
};

// The system's monotonic clock; the wait is a futex with an absolute
// CLOCK_MONOTONIC deadline, as exact as a timer sleep and woken at once.
class MonotonicEngineClock : public EngineClock {
 public:
  int64_t Now() override;
  void WaitUntil(int64_t deadline, const std::atomic<uint32_t>& wake, uint32_t seen) override;
};

// Wakes whoever waits on word (after the caller changed it).
void WakeAll(std::atomic<uint32_t>& word);

}  // namespace orvex::engine
