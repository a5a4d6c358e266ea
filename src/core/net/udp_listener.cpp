#include "core/net/udp_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/config/net_address.h"
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

Result UdpListener::Open(const std::string& where, std::unique_ptr<UdpListener>* listener) {
  NetAddress address;
  if (Result parsed = ParseNetAddress(where, &address); !parsed.ok()) return parsed;
  AddrInfo found;
  if (Result resolved = ResolveNetAddress(address, &found); !resolved.ok()) return resolved;
  const std::string shown = address.Shown();
  const int fd = socket(found->ai_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0 || bind(fd, found->ai_addr, found->ai_addrlen) != 0) {
    const int err = errno;
    if (fd >= 0) close(fd);
    return Result::Failed(Fault::Open, err,
                          "can't listen for loggers on UDP " + shown + ": " +
                              (err == EADDRINUSE ? std::string("another program is using that port")
                                                 : std::string(std::strerror(err))));
  }
  sockaddr_storage bound{};
  std::memcpy(&bound, found->ai_addr, found->ai_addrlen);
  listener->reset(new UdpListener(fd, IsLoopback(bound), shown));
  return {};
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
