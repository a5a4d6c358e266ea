#include "core/config/net_address.h"

#include <sys/socket.h>

#include <algorithm>

namespace orvex {

std::string NetAddress::Shown() const {
  return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + port;
}

Result ParseNetAddress(const std::string& where, NetAddress* out) {
  out->host = "127.0.0.1";
  out->port = where;
  if (const size_t colon = where.rfind(':'); colon != std::string::npos) {
    out->host = where.substr(0, colon);
    out->port = where.substr(colon + 1);
    if (out->host.size() >= 2 && out->host.front() == '[' && out->host.back() == ']')
      out->host = out->host.substr(1, out->host.size() - 2);
  }
  bool digits = !out->port.empty();
  long port = 0;
  for (const char c : out->port) {
    if (c < '0' || c > '9') digits = false;
    port = std::min(port * 10 + (c - '0'), 65536L);
  }
  if (out->host.empty() || !digits || port < 1 || port > 65535)
    return Result::Refused("'" + where + "' is not a UDP port (1 to 65535) or address:port");
  return {};
}

Result ResolveNetAddress(const NetAddress& address, AddrInfo* found) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_NUMERICSERV | AI_PASSIVE | (address.host == "localhost" ? 0 : AI_NUMERICHOST);
  addrinfo* list = nullptr;
  const int failed = getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &list);
  found->reset(list);
  if (failed != 0 || !list)
    return Result::Failed(Fault::Open, 0,
                          "'" + address.host + "' is not an address of this computer");
  return {};
}

Result CheckNetAddress(const std::string& where) {
  NetAddress address;
  if (Result parsed = ParseNetAddress(where, &address); !parsed.ok()) return parsed;
  AddrInfo found;
  return ResolveNetAddress(address, &found);
}

}  // namespace orvex
