// Runs one of the shipped programs as a real process and collects what it
// printed.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/files.h"

namespace orvex::test {

struct ToolResult {
  int status;
  std::string out;
  std::string err;
};

// command: the whole shell command line; dir holds the captured output.
inline ToolResult RunTool(const std::string& command, const TempDir& dir) {
  const std::string out = dir.File("stdout"), err = dir.File("stderr");
  const int raw = std::system((command + " >" + out + " 2>" + err).c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(out), ReadFile(err)};
}

}  // namespace orvex::test
