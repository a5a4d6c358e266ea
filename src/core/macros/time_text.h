// The time and date texts of #TIME and #DATE.
#pragma once

#include <cstdint>

#include "base/clock.h"
#include "base/text.h"

namespace orvex {

// Modes 1 to 5 read the local clock, every other mode UTC:
//   1/6 MM/DD/YY   2/7 HHMM   3/8 HH:MM:SS   4/9 MM/DD/YY HH:MM
//   5/10 MM/DD/YY HH:MM:SS   anything else: empty.
// With a pattern, the date part becomes DD-Mon-YY and the date and time are
// formatted by the pattern, whose codes are
//   d dd day   m mm month   mmm month abbreviation   yy yyyy year
//   h hh hour  n nn minute  s ss second   \x the character x itself
// and any other character stands for itself; "dd-mmm-yy hhnn" gives
// "15-Mar-26 1435". A pattern code for a part the mode lacks reads as 0
// (day and month as 1, year as 2000).
Text TimeText(int16_t mode, const Text& pattern, Clock& clock);

// "Jan" for 1 to "Dec" for 12; empty for 0 and anything else.
Text MonthAbbrev(int month);

}  // namespace orvex
