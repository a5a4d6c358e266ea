// What a port that could not be opened says in the CW Setup box: the classic
// status numbers and words for the failures operators know (not there, held
// by another program, not allowed), the system's own for any other.
#pragma once

#include <cstdint>

#include "base/result.h"

namespace orvex::engine {

enum class OpenStatus : int16_t {
  Ok = 0,
  NotFound = 2,   // no such device
  InUse = 5,      // another program (or another Orvex) holds it
  NoAccess = 12,  // no permission: the operator is not in the device's group
  Other = -1,     // any other system error
};

OpenStatus OpenStatusOf(const Result& opened);
// The status number of the CW Setup box: the status itself, or the
// system's error number for any other failure.
int StatusNumber(const Result& opened);
// "device not found" and the like; the system's words for any other failure.
Text StatusWords(const Result& opened);

}  // namespace orvex::engine
