#include "engine/system/engine_clock.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace orvex::engine {

int64_t MonotonicEngineClock::Now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void MonotonicEngineClock::WaitUntil(int64_t deadline, const std::atomic<uint32_t>& wake,
                                     uint32_t seen) {
  static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));
  timespec at{static_cast<time_t>(deadline / 1'000'000'000),
              static_cast<long>(deadline % 1'000'000'000)};
  // FUTEX_WAIT_BITSET takes an absolute CLOCK_MONOTONIC time.
  syscall(SYS_futex, reinterpret_cast<const uint32_t*>(&wake),
          FUTEX_WAIT_BITSET | FUTEX_PRIVATE_FLAG, seen, deadline == kNoDeadline ? nullptr : &at,
          nullptr, FUTEX_BITSET_MATCH_ANY);
}

void WakeAll(std::atomic<uint32_t>& word) {
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE | FUTEX_PRIVATE_FLAG, INT32_MAX,
          nullptr, nullptr, 0);
}

}  // namespace orvex::engine
