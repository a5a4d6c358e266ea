#include "core/config/port_name.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "engine/lines/device_names.h"

namespace orvex {

Result ParseCWPort(const Text& name, int16_t* code) {
  *code = 0;
  Text p = TrimBlanks(name);
  // A device path (a USB adapter by its /dev/serial/by-id name): opened as
  // it is; one that does not exist fails when it is opened.
  if (!p.empty() && p[0] == '/') {
    *code = static_cast<int16_t>(engine::PortForDevice(Cp1252ToUtf8(p)));
    return {};
  }
  p = UpperCase(p);
  // A bare number names a COM port. The test is a character-code range, so
  // "12" becomes "COM12" (and is then refused) while "9" stays "9".
  if (p >= "1" && p <= "8") p = "COM" + p;
  if (p.size() == 4 && p.compare(0, 3, "COM") == 0 && p[3] >= '1' && p[3] <= '8')
    *code = static_cast<int16_t>(p[3] - '0');
  else if (p == "LPT1" || p == "LPT2")
    *code = static_cast<int16_t>('0' - p[3]);
  else if (!p.empty() && p != "NONE" && p != "0")
    return Result::Refused("Bad CW port '" + p + "'.");
  return {};
}

std::vector<std::string> SerialDevices(const std::string& dev, const std::string& sys) {
  namespace fs = std::filesystem;
  std::error_code ec;
  std::vector<std::string> out, byId, plain;
  std::set<std::string> seen;  // real devices already listed
  for (const auto& entry : fs::directory_iterator(dev + "/serial/by-id", ec))
    byId.push_back(entry.path().string());
  std::sort(byId.begin(), byId.end());
  for (const std::string& link : byId) {
    out.push_back(link);
    seen.insert(fs::weakly_canonical(link, ec).string());
  }
  for (const auto& entry : fs::directory_iterator(dev, ec)) {
    const std::string name = entry.path().filename().string();
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
      if (name.rfind(prefix, 0) != 0 || name.size() <= std::strlen(prefix) ||
          seen.count(fs::weakly_canonical(entry.path(), ec).string()))
        continue;
      if (std::strcmp(prefix, "ttyS") == 0) {
        std::ifstream type(sys + "/class/tty/" + name + "/type");
        int uart = 0;
        if (!(type >> uart) || uart == 0) continue;
      }
      plain.push_back(entry.path().string());
    }
  }
  // ttyUSB before ttyACM before ttyS, numbers in order.
  auto rank = [](const std::string& path) {
    const std::string name = path.substr(path.rfind('/') + 1);
    const int kind = name.rfind("ttyUSB", 0) == 0 ? 0 : name.rfind("ttyACM", 0) == 0 ? 1 : 2;
    const size_t digits = name.find_first_of("0123456789");
    const long number = digits == std::string::npos ? 0 : std::atol(name.c_str() + digits);
    return std::make_pair(kind, number);
  };
  std::sort(plain.begin(), plain.end(),
            [&](const std::string& a, const std::string& b) { return rank(a) < rank(b); });
  out.insert(out.end(), plain.begin(), plain.end());
  return out;
}

}  // namespace orvex
