#include "core/net/udp_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "core/net/net_request.h"

namespace orvex {
namespace {

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

struct HostPort {
  std::string host = "127.0.0.1", port;
};

std::optional<HostPort> Split(const std::string& where) {
  HostPort out{"127.0.0.1", where};
  if (const size_t colon = where.rfind(':'); colon != std::string::npos) {
    out.host = where.substr(0, colon);
    out.port = where.substr(colon + 1);
    if (out.host.size() >= 2 && out.host.front() == '[' && out.host.back() == ']')
      out.host = out.host.substr(1, out.host.size() - 2);
  }
  if (out.host.empty() || out.port.empty() ||
      out.port.find_first_not_of("0123456789") != std::string::npos ||
      !NetNumber(out.port, 1, 65535))
    return std::nullopt;
  return out;
}

addrinfo Hints(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_NUMERICSERV | AI_PASSIVE | (host == "localhost" ? 0 : AI_NUMERICHOST);
  return hints;
}

}  // namespace

bool IsNetAddress(const std::string& where) {
  const auto split = Split(where);
  if (!split) return false;
  const addrinfo hints = Hints(split->host);
  addrinfo* found = nullptr;
  const bool ok = getaddrinfo(split->host.c_str(), split->port.c_str(), &hints, &found) == 0;
  if (found) freeaddrinfo(found);
  return ok;
}

std::unique_ptr<UdpListener> UdpListener::Open(const std::string& where, std::string* error) {
  const auto split = Split(where);
  if (!split) {
    *error = "'" + where + "' is not a UDP port (1 to 65535) or address:port";
    return nullptr;
  }
  const std::string &host = split->host, &port = split->port;
  const addrinfo hints = Hints(host);
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
    *error = "'" + host + "' is not an address of this computer";
    return nullptr;
  }
  const std::string shown =
      (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + port;
  const int fd = socket(found->ai_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0 || bind(fd, found->ai_addr, found->ai_addrlen) != 0) {
    const int err = errno;
    if (fd >= 0) close(fd);
    freeaddrinfo(found);
    *error = "can't listen for loggers on UDP " + shown + ": " +
             (err == EADDRINUSE ? std::string("another program is using that port")
                                : std::string(std::strerror(err)));
    return nullptr;
  }
  sockaddr_storage bound{};
  std::memcpy(&bound, found->ai_addr, found->ai_addrlen);
  freeaddrinfo(found);
  return std::unique_ptr<UdpListener>(new UdpListener(fd, IsLoopback(bound), shown));
}

UdpListener::~UdpListener() {
  close(fd_);
}

bool UdpListener::Receive(std::string* datagram, NetPeer* from) {
  char buffer[kNetRequestLimit];
  for (;;) {
    from->length = sizeof from->address;
    // MSG_TRUNC not asked for: a longer datagram is cut, the rest dropped.
    const ssize_t n = recvfrom(fd_, buffer, sizeof buffer, 0,
                               reinterpret_cast<sockaddr*>(&from->address), &from->length);
    if (n < 0) return false;
    if (loopback_ && !IsLoopback(from->address)) {
      ++dropped_;
      continue;
    }
    datagram->assign(buffer, static_cast<size_t>(n));
    return true;
  }
}

void UdpListener::Reply(const NetPeer& to, std::string_view bytes) {
  // Best effort, as the protocol is: a logger that has gone away loses it.
  sendto(fd_, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
         reinterpret_cast<const sockaddr*>(&to.address), to.length);
}

}  // namespace orvex
