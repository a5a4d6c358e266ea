// What opening a key line or a sidetone output came to: one status for every
// output, with the numbers and texts the operator sees in the CW Setup box.
#pragma once

#include <cstdint>
#include <string>

namespace orvex::engine {

enum class OpenStatus : int16_t {
  Ok = 0,
  NotFound = 2,   // no such device
  InUse = 5,      // another program (or another Orvex) holds it
  NoAccess = 12,  // no permission: the operator is not in the device's group
  Sharing = 32,
  Other = -1,  // any other system error; err tells which
};

struct OpenResult {
  OpenStatus status = OpenStatus::Ok;
  int err = 0;  // the system's error number behind the status; 0 when none

  bool ok() const { return status == OpenStatus::Ok; }
  // The status number of the CW Setup box: the status itself, or the
  // system's error number for any other failure.
  int Number() const { return status == OpenStatus::Other ? err : static_cast<int>(status); }
  // ", device not found" and the like; empty for any other failure.
  std::string Suffix() const;
};

OpenResult OpenResultFromErrno(int err);

}  // namespace orvex::engine
