#include "app/program_paths.h"

namespace orvex {

std::string FindProgramDir(const std::optional<std::string>& pelorin,
                           const std::optional<std::string>& pelo, const std::string& cwd) {
  if (pelorin && !pelorin->empty()) return *pelorin;
  if (pelo && !pelo->empty()) return *pelo;
  return cwd;
}

std::string ProgramFilePath(const std::string& name, const std::string& programDir) {
  if (!name.empty() && name.front() == '/') return name;
  if (programDir.empty()) return name;
  return programDir.back() == '/' ? programDir + name : programDir + "/" + name;
}

}  // namespace orvex
