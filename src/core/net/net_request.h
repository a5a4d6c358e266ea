// One request of the UDP keying protocol that Linux loggers speak: a
// datagram whose first byte is ESC is a command (a letter or digit, then
// its argument), anything else is text to key.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvex {

inline constexpr size_t kNetRequestLimit = 256;  // bytes read of one datagram

struct NetRequest {
  bool command = false;
  char name = 0;         // the command's letter or digit
  std::string argument;  // the command's argument, or the text
};

// The datagram cut to the request limit, trailing CR and LF removed.
NetRequest ParseNetRequest(std::string_view datagram);

// A decimal argument: optional leading blanks, an optional sign, digits,
// optional trailing blanks. Nothing for anything else or out of lo..hi.
std::optional<int> NetNumber(std::string_view argument, int lo, int hi);

}  // namespace orvex
