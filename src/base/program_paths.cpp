#include "base/program_paths.h"

#include <unistd.h>

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

std::string ShippedFilePath(const std::string& name, const std::string& programDir,
                            const std::string& shippedDir) {
  const std::string own = ProgramFilePath(name, programDir);
  if (::access(own.c_str(), F_OK) == 0 || shippedDir.empty()) return own;
  const std::string shipped = ProgramFilePath(name, shippedDir);
  return ::access(shipped.c_str(), F_OK) == 0 ? shipped : own;
}

}  // namespace orvex
