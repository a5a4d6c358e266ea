#include "config/port_name.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(ParseCWPort, ValidNames) {
  const std::pair<const char*, int16_t> cases[] = {
      {"", 0},      {"None", 0},  {"none", 0},   {"0", 0},     {" COM1 ", 1},
      {"com8", 8},  {"3", 3},     {"8", 8},      {"LPT1", -1}, {"lpt2", -2},
  };
  for (const auto& [name, code] : cases) {
    const PortParse p = ParseCWPort(name);
    EXPECT_EQ(p.code, code) << name;
    EXPECT_EQ(p.error, "") << name;
  }
}

TEST(ParseCWPort, BadNamesQuoteTheNameAsChanged) {
  const std::pair<const char*, const char*> cases[] = {
      {"12", "Bad CW port 'COM12'."},    {"9", "Bad CW port '9'."},
      {"com9", "Bad CW port 'COM9'."},   {"LPT3", "Bad CW port 'LPT3'."},
      {"80", "Bad CW port '80'."},       {"1x", "Bad CW port 'COM1X'."},
      {"COM0", "Bad CW port 'COM0'."},   {"/dev/ttyUSB0", "Bad CW port '/DEV/TTYUSB0'."},
  };
  for (const auto& [name, error] : cases) {
    const PortParse p = ParseCWPort(name);
    EXPECT_EQ(p.code, 0) << name;
    EXPECT_EQ(p.error, error) << name;
  }
}

}  // namespace
}  // namespace orvex
