// Whole-file reads and crash-safe replacement. A settings file holds the
// operator's stored messages: a rewrite must leave either the old file or the
// new one, never half of either.
#pragma once

#include <string>
#include <string_view>

#include "base/file_result.h"

namespace orvex {

// Reads the whole file at path (a native path). Missing means the file does
// not exist in a directory that does; a missing directory is a failure.
// Opens path for reading when it is a regular file (a symbolic link to one
// is fine), without ever blocking; -1 and *err (kNotRegularFile for a pipe
// or a device) otherwise.
int OpenRegularFile(const std::string& path, int* err);

// Writes bytes to a pipe, a device or standard output ("-") as they are.
FileResult WriteThrough(const std::string& path, std::string_view bytes);
// Creates path with bytes; fails (EEXIST) rather than replace anything.
FileResult WriteNewFile(const std::string& path, std::string_view bytes);
// Removes "<path>.tmp-XXXXXX" files a killed rewrite left behind, when they
// are older than olderThanSeconds.
void RemoveStaleTemporaries(const std::string& path, int olderThanSeconds = 60);

FileResult ReadWholeFile(const std::string& path, std::string& bytes);

// Writes bytes to a temporary file beside path, flushes it to disk and
// renames it over path, keeping the old file's permissions. On failure the
// old file is untouched and the temporary file removed. A symbolic link is
// followed, so the file it points at is replaced, not the link.
FileResult ReplaceFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace orvex
