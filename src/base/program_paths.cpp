#include "base/program_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace orvex {
namespace {

std::optional<std::string> Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::optional<std::string>(value) : std::nullopt;
}

bool Given(const std::optional<std::string>& value) {
  return value && !value->empty();
}

}  // namespace

ProcessPlaces ProcessPlaces::FromEnvironment() {
  char cwd[PATH_MAX];
  return {Env("PELORIN"), Env("PELO"), Env("XDG_CONFIG_HOME"), Env("HOME"),
          getcwd(cwd, sizeof cwd) ? cwd : ""};
}

std::string UserConfigDir(const ProcessPlaces& p) {
  if (Given(p.xdgConfigHome) && p.xdgConfigHome->front() == '/') return *p.xdgConfigHome + "/orvex";
  return (Given(p.home) ? *p.home : std::string()) + "/.config/orvex";
}

std::string FindProgramDir(const ProcessPlaces& p, const std::string& envFileName) {
  if (Given(p.pelorin)) return *p.pelorin;
  if (Given(p.pelo)) return *p.pelo;
  if (::access(ProgramFilePath(envFileName, p.cwd).c_str(), F_OK) == 0) return p.cwd;
  return UserConfigDir(p);
}

bool MakeDirectories(const std::string& dir) {
  for (size_t slash = 1; slash != std::string::npos;) {
    slash = dir.find('/', slash + 1);
    const std::string part = dir.substr(0, slash);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  struct stat st;
  return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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
