#include "core/macros/time_text.h"

#include <array>
#include <cstdio>

namespace orvex {
namespace {

Text Two(int v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", v % 100);
  return buf;
}

// What the mode shows: which clock, and which parts.
struct Shape {
  bool local, date, time, seconds, compact;
};

bool ShapeOf(int16_t mode, Shape* s) {
  const int m = mode >= 6 && mode <= 10 ? mode - 5 : mode;
  *s = {mode >= 1 && mode <= 5, false, false, false, false};
  switch (m) {
    case 1:
      s->date = true;
      return true;
    case 2:
      s->time = s->compact = true;
      return true;
    case 3:
      s->time = s->seconds = true;
      return true;
    case 4:
      s->date = s->time = true;
      return true;
    case 5:
      s->date = s->time = s->seconds = true;
      return true;
    default:
      return false;
  }
}

Text Format(const Text& pattern, const CalendarTime& t) {
  Text out;
  for (size_t i = 0; i < pattern.size();) {
    const char c = pattern[i];
    const char lower = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (c == '\\' && i + 1 < pattern.size()) {
      out += pattern[i + 1];
      i += 2;
      continue;
    }
    size_t run = 1;
    while (i + run < pattern.size() && (pattern[i + run] | 0x20) == lower) ++run;
    auto number = [&](int v) { out += run >= 2 ? Two(v) : std::to_string(v); };
    switch (lower) {
      case 'd':
        number(t.day);
        break;
      case 'm':
        if (run >= 3)
          out += MonthAbbrev(t.month);
        else
          number(t.month);
        break;
      case 'y':
        out += run >= 4 ? std::to_string(t.year) : Two(t.year);
        break;
      case 'h':
        number(t.hour);
        break;
      case 'n':
        number(t.minute);
        break;
      case 's':
        number(t.second);
        break;
      default:
        out.append(run, c);
        break;
    }
    i += run;
  }
  return out;
}

}  // namespace

Text MonthAbbrev(int month) {
  static const std::array<const char*, 13> kMonths = {
      "", "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  return month >= 0 && month <= 12 ? kMonths[static_cast<size_t>(month)] : "";
}

Text TimeText(int16_t mode, const Text& pattern, Clock& clock) {
  Shape s;
  const bool known = ShapeOf(mode, &s);
  const CalendarTime t = s.local ? clock.Local() : clock.Utc();  // one read per call
  if (!known) return {};
  if (!pattern.empty()) {
    CalendarTime shown = t;
    if (!s.date) shown.year = 2000, shown.month = shown.day = 1;
    if (!s.time) shown.hour = shown.minute = 0;
    if (!s.seconds) shown.second = 0;
    return Format(pattern, shown);
  }
  Text date, time;
  if (s.date) date = Two(t.month) + "/" + Two(t.day) + "/" + Two(t.year);
  if (s.time) {
    time = s.compact ? Two(t.hour) + Two(t.minute) : Two(t.hour) + ":" + Two(t.minute);
    if (s.seconds) time.append(1, ':').append(Two(t.second));
  }
  if (!date.empty() && !time.empty()) return date + " " + time;
  return date + time;
}

}  // namespace orvex
