// Where loggers send their keying requests, as the NetKeyer setting and
// orvex-keyd's --listen write it: a UDP port alone ("6789", on this
// computer only), or a numeric address (or localhost) and a port
// ("0.0.0.0:6789", "[::1]:6789").
#pragma once

#include <netdb.h>
#include <sys/socket.h>

#include <memory>
#include <string>
#include <vector>

#include "base/result.h"

namespace orvex {

inline constexpr int kNetKeyerPort = 6789;  // where loggers send unless told otherwise

struct NetAddress {
  std::string host = "127.0.0.1";
  std::string port;
  // "127.0.0.1:6789", "[::1]:6789".
  std::string Shown() const;
};

struct AddrInfoFree {
  void operator()(addrinfo* a) const { freeaddrinfo(a); }
};
using AddrInfo = std::unique_ptr<addrinfo, AddrInfoFree>;

// Refused, in words, when where is neither form.
Result ParseNetAddress(const std::string& where, NetAddress* address);
// The address to bind to, into *found.
Result ResolveNetAddress(const NetAddress& address, AddrInfo* found);

// The loopback interface: 127.0.0.0/8, ::1, and 127/8 mapped into IPv6.
bool IsLoopback(const sockaddr_storage& address);

// Who may key from other computers, as orvex-keyd's --allow names them:
// addresses and networks, "192.168.1.0/24,10.0.0.7,2001:db8::/32".
struct NetRange {
  int family = AF_INET;
  unsigned char bytes[16] = {};
  int prefix = 32;  // bits that must match
};
using AllowList = std::vector<NetRange>;
// Refused, in words, when an item is no numeric address or network.
Result ParseAllowList(const std::string& text, AllowList* list);
// The peer is on the list (an IPv4 peer mapped into IPv6 counts as IPv4).
bool Allows(const AllowList& list, const sockaddr_storage& peer);

}  // namespace orvex
