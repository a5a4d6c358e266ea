#include "base/clock.h"

namespace orvex {
namespace {

CalendarTime Broken(time_t when, bool local) {
  tm t{};
  if (local)
    localtime_r(&when, &t);
  else
    gmtime_r(&when, &t);
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

}  // namespace

CalendarTime SystemClock::Local() {
  return Broken(time(nullptr), true);
}
CalendarTime SystemClock::Utc() {
  return Broken(time(nullptr), false);
}

ManualClock::ManualClock(const CalendarTime& local) {
  tm t{};
  t.tm_year = local.year - 1900;
  t.tm_mon = local.month - 1;
  t.tm_mday = local.day;
  t.tm_hour = local.hour;
  t.tm_min = local.minute;
  t.tm_sec = local.second;
  t.tm_isdst = -1;
  epoch_ = mktime(&t);
}

CalendarTime ManualClock::Local() {
  return Broken(static_cast<time_t>(epoch_ + ms_ / 1000), true);
}
CalendarTime ManualClock::Utc() {
  return Broken(static_cast<time_t>(epoch_ + ms_ / 1000), false);
}

}  // namespace orvex
