// The outcome of a file operation, the same for every reader and writer of
// the program: fine, a missing file (which some callers take in their
// stride), or a failure at a stage with the system's error number.
#pragma once

#include "base/text.h"

namespace orvex {

enum class FileStage { Open, Read, Write };

// An error number of our own, beyond the system's: the name is a pipe, a
// device or a directory, which the program does not read (a pipe would
// block it, a device might never end).
inline constexpr int kNotRegularFile = 0x10000;
// A text file larger than any the program reads whole.
inline constexpr long long kMaxWholeFile = 16 * 1024 * 1024;

class FileResult {
 public:
  static FileResult Ok() { return FileResult(Kind::Ok, FileStage::Open, 0); }
  // The file does not exist in a directory that does.
  static FileResult Missing() { return FileResult(Kind::Missing, FileStage::Open, 0); }
  static FileResult Failed(FileStage stage, int err) {
    return FileResult(Kind::Failed, stage, err);
  }

  bool ok() const { return kind_ == Kind::Ok; }
  bool missing() const { return kind_ == Kind::Missing; }
  bool failed() const { return kind_ == Kind::Failed; }
  FileStage stage() const { return stage_; }
  int error() const { return err_; }
  // The system's description of the error ("No such file or directory"
  // for a missing file), as program text.
  Text Description() const;

 private:
  enum class Kind { Ok, Missing, Failed };
  FileResult(Kind kind, FileStage stage, int err) : kind_(kind), stage_(stage), err_(err) {}
  Kind kind_;
  FileStage stage_;
  int err_;
};

}  // namespace orvex
