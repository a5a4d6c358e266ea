// Whole-file reads and crash-safe replacement. A settings file holds the
// operator's stored messages: a rewrite must leave either the old file or the
// new one, never half of either.
#pragma once

#include <string>
#include <string_view>

#include "base/result.h"

namespace orvex {

// Opens path for reading into *fd when it is a regular file (a symbolic
// link to one is fine), without ever blocking; a failure otherwise
// (kNotRegularFile for a pipe or a device).
Result OpenRegularFile(const std::string& path, int* fd);

// Creates path with bytes; fails (EEXIST) rather than replace anything.
Result WriteNewFile(const std::string& path, std::string_view bytes);
// Removes "<path>.tmp-XXXXXX" files a killed rewrite left behind, when they
// are older than olderThanSeconds.
void RemoveStaleTemporaries(const std::string& path, int olderThanSeconds = 60);

// Reads the whole file at path (a native path). Missing means the file does
// not exist in a directory that does; a missing directory is a failure.
Result ReadWholeFile(const std::string& path, std::string& bytes);

// Writes bytes to a temporary file beside path, flushes it to disk and
// renames it over path, keeping the old file's permissions. On failure the
// old file is untouched and the temporary file removed. A symbolic link is
// followed, so the file it points at is replaced, not the link.
// A pipe, a device or "-" (standard output) is written straight through.
Result ReplaceFileAtomically(const std::string& path, std::string_view bytes);

// The same, for a file written piece by piece (too large to hold whole):
// Open, Write as often as needed, Commit. Without a Commit the temporary
// file is removed and path left as it was.
class FileReplacement {
 public:
  FileReplacement() = default;
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  Result Open(const std::string& path);
  Result Write(std::string_view bytes);
  Result Commit();
  // Where the bytes go: the file a link points at, or the device itself.
  const std::string& Target() const { return target_; }

 private:
  int fd_ = -1;
  bool through_ = false;
  std::string target_, temp_;
};

}  // namespace orvex
