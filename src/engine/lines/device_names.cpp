#include "engine/lines/device_names.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace orvex::engine {

namespace {
std::mutex pathsMu;
std::string serialPath, parallelPath;
}  // namespace

int PortForDevice(const std::string& path) {
  std::lock_guard lock(pathsMu);
  if (path.rfind("/dev/parport", 0) == 0) {
    parallelPath = path;
    return kParallelDevicePort;
  }
  serialPath = path;
  return kSerialDevicePort;
}

std::string DeviceForPort(int port) {
  std::string variable, device;
  if (port == kSerialDevicePort || port == kParallelDevicePort) {
    std::lock_guard lock(pathsMu);
    return port == kSerialDevicePort ? serialPath : parallelPath;
  }
  if (port >= 1 && port <= 8) {
    variable = "ORVEX_COM" + std::to_string(port);
    device = "/dev/ttyS" + std::to_string(port - 1);
  } else if (port == -1 || port == -2) {
    variable = "ORVEX_LPT" + std::to_string(-port);
    device = "/dev/parport" + std::to_string(-port - 1);
  } else {
    return {};
  }
  const char* override = std::getenv(variable.c_str());
  return override && *override ? override : device;
}

std::string DeviceGroup(const std::string& device, int port) {
  struct stat st;
  if (::stat(device.c_str(), &st) == 0 && (st.st_mode & S_IRWXG) != 0)
    if (const group* g = ::getgrgid(st.st_gid); g && st.st_gid != 0) return g->gr_name;
  return port > 0 ? "dialout" : "lp";
}

std::string DeviceHolder(const std::string& device) {
  std::error_code error;
  const std::filesystem::path wanted = std::filesystem::canonical(device, error);
  if (error) return {};
  const std::string self = std::to_string(getpid());
  std::string found;
  for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
    const std::string pid = process.path().filename();
    if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
    std::error_code unreadable;  // another user's process, or gone meanwhile
    for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", unreadable)) {
      std::error_code gone;
      if (std::filesystem::read_symlink(fd.path(), gone) != wanted) continue;
      std::ifstream comm(process.path() / "comm");
      std::string name;
      std::getline(comm, name);
      // A program's guard holds its ports too; the program is the one to name.
      if (name == "orvex-guard") break;
      const std::string holder = (name.empty() ? "a program" : name) + ", pid " + pid;
      // One of ours (orvex-keyd) is the one to name; else the first.
      if (name.rfind("orvex", 0) == 0) return holder;
      if (found.empty()) found = holder;
      break;
    }
  }
  return found;
}

}  // namespace orvex::engine
