// Where loggers send their keying requests, as the NetKeyer setting and
// orvex-keyd's --listen write it: a UDP port alone ("6789", on this
// computer only), or a numeric address (or localhost) and a port
// ("0.0.0.0:6789", "[::1]:6789").
#pragma once

#include <netdb.h>

#include <memory>
#include <string>

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
// Both of the above: a setting the operator may save.
Result CheckNetAddress(const std::string& where);

}  // namespace orvex
