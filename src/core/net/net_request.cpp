#include "core/net/net_request.h"

namespace orvex {

NetRequest ParseNetRequest(std::string_view datagram) {
  datagram = datagram.substr(0, kNetRequestLimit);
  while (!datagram.empty() && (datagram.back() == '\r' || datagram.back() == '\n'))
    datagram.remove_suffix(1);
  NetRequest request;
  if (!datagram.empty() && datagram[0] == 27) {
    request.command = true;
    if (datagram.size() > 1) request.name = datagram[1];
    if (datagram.size() > 2) request.argument = std::string(datagram.substr(2));
    return request;
  }
  request.argument = std::string(datagram);
  return request;
}

std::optional<int> NetNumber(std::string_view text, int lo, int hi) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  const size_t digits = i;
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 1'000'000) return std::nullopt;
  }
  if (i == digits) return std::nullopt;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i != text.size()) return std::nullopt;
  if (negative) value = -value;
  if (value < lo || value > hi) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace orvex
