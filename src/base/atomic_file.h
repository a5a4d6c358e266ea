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
FileResult ReadWholeFile(const std::string& path, std::string& bytes);

// Writes bytes to a temporary file beside path, flushes it to disk and
// renames it over path, keeping the old file's permissions. On failure the
// old file is untouched and the temporary file removed. A symbolic link is
// followed, so the file it points at is replaced, not the link.
FileResult ReplaceFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace orvex
