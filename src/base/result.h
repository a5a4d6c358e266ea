// The outcome of anything in the program that can fail: reading and writing
// files, opening a port or a socket, a value the operator typed or a file
// holds. One type everywhere: fine, a missing file (which some callers take
// in their stride), or a failure of a kind, with the system's error number
// behind it and, where the failing part can say more than the system, its
// own words for the operator. What fails returns this; only the windows (and
// the command-line programs) decide how to show it.
#pragma once

#include <cstdint>

#include "base/text.h"

namespace orvex {

enum class Fault : uint8_t {
  None,     // it worked
  Missing,  // a file that does not exist, in a directory that does
  Open,     // a file, device or socket could not be opened
  Read,     // reading failed, or what was read cannot be used
  Write,    // writing or switching failed
  Refused,  // input that is not accepted: a bad name, a number out of range
};

// An error number of our own, beyond the system's: the name is a pipe, a
// device or a directory, which the program does not read (a pipe would
// block it, a device might never end).
inline constexpr int kNotRegularFile = 0x10000;
// A text file larger than any the program reads whole.
inline constexpr long long kMaxWholeFile = 16 * 1024 * 1024;

class [[nodiscard]] Result {
 public:
  Result() = default;  // fine
  static Result Ok() { return {}; }
  static Result Missing() { return Result(Fault::Missing, 0, {}); }
  // err: the system's error number (0 when there is none); text: the
  // failing part's own words, empty when the system's describe it.
  static Result Failed(Fault fault, int err, Text text = {}) {
    return Result(fault, err, std::move(text));
  }
  static Result Refused(Text text) { return Result(Fault::Refused, 0, std::move(text)); }
  // A failure from an errno value.
  static Result FromErrno(Fault fault, int err) { return Result(fault, err, {}); }

  bool ok() const { return fault_ == Fault::None; }
  bool missing() const { return fault_ == Fault::Missing; }
  bool failed() const { return fault_ != Fault::None && fault_ != Fault::Missing; }
  Fault fault() const { return fault_; }
  int error() const { return err_; }
  const Text& text() const { return text_; }
  // The words for the operator: the part's own, else the system's for the
  // error number ("No such file or directory" for a missing file).
  Text Description() const;
  // The same failure in other words (its kind and number kept).
  Result Told(Text text) const { return Result(fault_, err_, std::move(text)); }

 private:
  Result(Fault fault, int err, Text text) : fault_(fault), err_(err), text_(std::move(text)) {}
  Fault fault_ = Fault::None;
  int err_ = 0;
  Text text_;
};

// The system's words for an error number, as program text.
Text SystemErrorText(int err);

}  // namespace orvex
