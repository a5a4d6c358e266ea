#include "engine/device_names.h"

#include <grp.h>
#include <sys/stat.h>

#include <cstdlib>
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

}  // namespace orvex::engine
