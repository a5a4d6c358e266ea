// Keyer port names as the operator types them ("COM3", "3", "lpt1", "None",
// "/dev/serial/by-id/usb-FTDI_..."), and the serial devices there are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"

namespace orvex {

// The port code of a name into *code: 0 none, 1..8 COM1..COM8, -1 LPT1,
// -2 LPT2, 9 / -3 a device path. Refused ("Bad CW port 'COM9'.") with
// code 0 for any other name.
Result ParseCWPort(const Text& name, int16_t* code);

// The serial devices present under dev (normally "/dev"): the by-id names
// first (what the operator recognises: the adapter's maker and serial
// number), then ttyUSB*, ttyACM* and ttyS* that no by-id name points to.
// A ttyS counts only when sys ("/sys") knows a UART behind it: the kernel
// makes 32 of them whether there is hardware or not. Full paths.
std::vector<std::string> SerialDevices(const std::string& dev, const std::string& sys = "/sys");

}  // namespace orvex
