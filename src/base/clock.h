// Time as the program reads it: monotonic time for keying, pauses and
// deadlines, and the calendar in local time and UTC for the time texts. The
// program reads the system clock; tests and orvex-send fix or simulate it.
#pragma once

#include <time.h>

#include <cstdint>

namespace orvex {

// CLOCK_MONOTONIC in nanoseconds: the one time base of the keying engine and
// of the key log.
inline int64_t MonotonicNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

struct CalendarTime {
  int year = 2000;  // four digits
  int month = 1;    // 1..12
  int day = 1;
  int hour = 0;  // 0..23
  int minute = 0;
  int second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual int64_t MonotonicMs() = 0;
  virtual CalendarTime Local() = 0;
  virtual CalendarTime Utc() = 0;
};

class SystemClock : public Clock {
 public:
  int64_t MonotonicMs() override { return MonotonicNs() / 1'000'000; }
  CalendarTime Local() override;
  CalendarTime Utc() override;
};

// A clock that moves only when told: tests and simulated sends.
class ManualClock : public Clock {
 public:
  // The calendar is given as a local time; UTC follows from the time zone
  // (TZ) at that moment, and both move with Advance.
  explicit ManualClock(const CalendarTime& local = {});
  int64_t MonotonicMs() override { return ms_; }
  CalendarTime Local() override;
  CalendarTime Utc() override;
  void Advance(int64_t ms) { ms_ += ms; }

 private:
  int64_t ms_ = 0;
  long long epoch_ = 0;  // seconds since 1970 at ms_ = 0
};

}  // namespace orvex
