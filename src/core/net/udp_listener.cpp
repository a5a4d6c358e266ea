#include "core/net/udp_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

}  // namespace

std::unique_ptr<UdpListener> UdpListener::Open(const std::string& where, std::string* error) {
  std::string host = "127.0.0.1", port = where;
  if (const size_t colon = where.rfind(':'); colon != std::string::npos) {
    host = where.substr(0, colon);
    port = where.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
      host = host.substr(1, host.size() - 2);
  }
  const auto number = NetNumber(port, 1, 65535);
  if (!number || port.find_first_not_of("0123456789") != std::string::npos || host.empty()) {
    *error = "'" + where + "' is not a UDP port (1 to 65535) or address:port";
    return nullptr;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_NUMERICSERV | AI_PASSIVE | (host == "localhost" ? 0 : AI_NUMERICHOST);
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
    *error = "can't listen on UDP " + shown + ": " +
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
