#pragma once

#include <time.h>

#include <cstdint>

namespace orvex::keyer {

// CLOCK_MONOTONIC in nanoseconds: the one time base of the engine.
inline int64_t MonotonicNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace orvex::keyer
