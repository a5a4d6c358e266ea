// Port codes to Linux devices: COMn is /dev/ttyS(n-1), LPTn /dev/parport(n-1),
// unless ORVEX_COMn or ORVEX_LPTn names another device (a USB adapter).
#pragma once

#include <string>

namespace orvex::engine {

// port: 1..8 for COM1..COM8, -1/-2 for LPT1/LPT2. Empty for anything else.
std::string DeviceForPort(int port);

// The group whose members may open device: the device's own group when it
// grants the group access, else dialout for serial ports (port > 0) and lp
// for parallel ones.
std::string DeviceGroup(const std::string& device, int port);

}  // namespace orvex::engine
