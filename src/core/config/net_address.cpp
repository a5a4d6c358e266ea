#include "core/config/net_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>

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

bool IsLoopback(const sockaddr_storage& a) {
  if (a.ss_family == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(&a);
    return (ntohl(in->sin_addr.s_addr) >> 24) == 127;
  }
  if (a.ss_family == AF_INET6) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&a);
    if (IN6_IS_ADDR_LOOPBACK(&in6->sin6_addr)) return true;
    return IN6_IS_ADDR_V4MAPPED(&in6->sin6_addr) && in6->sin6_addr.s6_addr[12] == 127;
  }
  return false;
}

Result ParseAllowList(const std::string& text, AllowList* list) {
  list->clear();
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string item = text.substr(start, comma - start);
    start = comma + 1;
    if (item.empty()) continue;
    const size_t slash = item.find('/');
    const std::string host = item.substr(0, slash);
    NetRange range;
    if (inet_pton(AF_INET, host.c_str(), range.bytes) == 1) {
      range.family = AF_INET;
      range.prefix = 32;
    } else if (inet_pton(AF_INET6, host.c_str(), range.bytes) == 1) {
      range.family = AF_INET6;
      range.prefix = 128;
    } else {
      return Result::Refused("'" + item +
                             "' is not an address or network (such as 192.168.1.0/24)");
    }
    if (slash != std::string::npos) {
      const std::string bits = item.substr(slash + 1);
      const int max = range.prefix;
      if (bits.empty() || bits.size() > 3 ||
          bits.find_first_not_of("0123456789") != std::string::npos || std::stoi(bits) > max)
        return Result::Refused("'" + item + "' has no network length from 0 to " +
                               std::to_string(max));
      range.prefix = std::stoi(bits);
    }
    list->push_back(range);
  }
  if (list->empty()) return Result::Refused("no address or network named");
  return {};
}

bool Allows(const AllowList& list, const sockaddr_storage& peer) {
  unsigned char bytes[16] = {};
  int family = peer.ss_family;
  if (family == AF_INET) {
    std::memcpy(bytes, &reinterpret_cast<const sockaddr_in*>(&peer)->sin_addr, 4);
  } else if (family == AF_INET6) {
    const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(&peer)->sin6_addr;
    if (IN6_IS_ADDR_V4MAPPED(&a)) {
      family = AF_INET;
      std::memcpy(bytes, a.s6_addr + 12, 4);
    } else {
      std::memcpy(bytes, a.s6_addr, 16);
    }
  } else {
    return false;
  }
  for (const NetRange& range : list) {
    if (range.family != family) continue;
    const int whole = range.prefix / 8, rest = range.prefix % 8;
    if (std::memcmp(bytes, range.bytes, static_cast<size_t>(whole)) != 0) continue;
    const unsigned mask = rest ? (0xFFu << (8 - rest)) & 0xFFu : 0;
    if (rest && (bytes[whole] & mask) != (range.bytes[whole] & mask)) continue;
    return true;
  }
  return false;
}

}  // namespace orvex
