// Port codes to Linux devices: COMn is /dev/ttyS(n-1), LPTn /dev/parport(n-1),
// unless ORVEX_COMn or ORVEX_LPTn names another device (a USB adapter).
#pragma once

#include <string>

namespace orvex::engine {

// port: 1..8 for COM1..COM8, -1/-2 for LPT1/LPT2. Empty for anything else.
std::string DeviceForPort(int port);

// Port codes for a device named by its path rather than a port name: 9 a
// serial device, -3 a parallel one.
inline constexpr int kSerialDevicePort = 9, kParallelDevicePort = -3;
// Makes path the device of its kind's code and returns that code (a
// parallel port when the name is /dev/parportN).
int PortForDevice(const std::string& path);

// The group whose members may open device: the device's own group when it
// grants the group access, else dialout for serial ports (port > 0) and lp
// for parallel ones.
std::string DeviceGroup(const std::string& device, int port);

// The program of ours that has device open ("orvex-keyd, pid 1234"), the
// first found; empty when none that we may look at does.
std::string DeviceHolder(const std::string& device);

}  // namespace orvex::engine
