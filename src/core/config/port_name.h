// Keyer port names as the operator types them ("COM3", "3", "lpt1", "None").
#pragma once

#include <cstdint>

#include "base/text.h"

namespace orvex {

struct PortParse {
  int16_t code = 0;  // 0 none, 1..8 COM1..COM8, -1 LPT1, -2 LPT2
  Text error;        // empty when the name is valid
};

PortParse ParseCWPort(const Text& name);

}  // namespace orvex
