#include "engine/device_names.h"

#include <cstdlib>

namespace orvex::engine {

std::string DeviceForPort(int port) {
  std::string variable, device;
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

}  // namespace orvex::engine
