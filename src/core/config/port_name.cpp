#include "core/config/port_name.h"

namespace orvex {

PortParse ParseCWPort(const Text& name) {
  Text p = UpperCase(TrimBlanks(name));
  // A bare number names a COM port. The test is a character-code range, so
  // "12" becomes "COM12" (and is then refused) while "9" stays "9".
  if (p >= "1" && p <= "8") p = "COM" + p;
  if (p.empty() || p == "NONE" || p == "0") return {0, {}};
  if (p.size() == 4 && p.compare(0, 3, "COM") == 0 && p[3] >= '1' && p[3] <= '8')
    return {static_cast<int16_t>(p[3] - '0'), {}};
  if (p == "LPT1") return {-1, {}};
  if (p == "LPT2") return {-2, {}};
  return {0, "Bad CW port '" + p + "'."};
}

}  // namespace orvex
