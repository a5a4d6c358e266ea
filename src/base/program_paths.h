// Where the program finds its own files.
#pragma once

#include <optional>
#include <string>

namespace orvex {

// What the process tells about places: the environment and the current
// directory.
struct ProcessPlaces {
  std::optional<std::string> pelorin;        // $PELORIN
  std::optional<std::string> pelo;           // $PELO
  std::optional<std::string> xdgConfigHome;  // $XDG_CONFIG_HOME
  std::optional<std::string> home;           // $HOME
  std::string cwd;
  static ProcessPlaces FromEnvironment();
};

// The program directory: $PELORIN, else $PELO (empty ones are passed over),
// else the current directory when it holds the environment file
// (envFileName: orvex.ini or the file the command line names), else the
// user's configuration directory, $XDG_CONFIG_HOME/orvex or
// ~/.config/orvex, so a start from the desktop menu leaves no file in
// whatever directory it started in.
std::string FindProgramDir(const ProcessPlaces& places, const std::string& envFileName);
// The user's configuration directory for Orvex.
std::string UserConfigDir(const ProcessPlaces& places);
// Creates dir and the directories above it that are missing; false when
// one cannot be created.
bool MakeDirectories(const std::string& dir);

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
