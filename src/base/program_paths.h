// Where the program finds its own files.
#pragma once

#include <optional>
#include <string>

namespace orvex {

// The program directory: PELORIN, else PELO, else the current directory
// (empty or unset variables are passed over).
std::string FindProgramDir(const std::optional<std::string>& pelorin,
                           const std::optional<std::string>& pelo, const std::string& cwd);

// A name starting with "/" is absolute and returned unchanged, as is every
// name when there is no program directory; otherwise the name is joined to
// the directory with exactly one "/".
std::string ProgramFilePath(const std::string& name, const std::string& programDir);

// A file that ships with Orvex (help, icon, readme, changes): the program
// directory's own copy when it has one, else the installed copy in
// shippedDir, else the program directory's path (for the error message).
std::string ShippedFilePath(const std::string& name, const std::string& programDir,
                            const std::string& shippedDir);

}  // namespace orvex
