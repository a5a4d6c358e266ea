#include "core/net/udp_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/config/net_address.h"
#include "core/net/net_request.h"

namespace orvex {

Result UdpListener::Open(const std::string& where, const AllowList& allow,
                         std::unique_ptr<UdpListener>* listener) {
  NetAddress address;
  if (Result parsed = ParseNetAddress(where, &address); !parsed.ok()) return parsed;
  AddrInfo found;
  if (Result resolved = ResolveNetAddress(address, &found); !resolved.ok()) return resolved;
  const std::string shown = address.Shown();
  sockaddr_storage bound{};
  std::memcpy(&bound, found->ai_addr, found->ai_addrlen);
  if (!IsLoopback(bound) && allow.empty())
    return Result::Refused("won't listen for loggers on UDP " + shown +
                           " without a list of the computers that may key from there "
                           "(orvex-keyd --allow); the window listens on this computer only");
  const int fd = socket(found->ai_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const int on = 1;
  // Where each request was sent to, so its reply leaves from there.
  const bool pktinfo =
      fd >= 0 && (found->ai_family == AF_INET
                      ? setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) == 0
                      : setsockopt(fd, IPPROTO_IPV6, IPV6_RECVPKTINFO, &on, sizeof on) == 0);
  if (fd < 0 || !pktinfo || bind(fd, found->ai_addr, found->ai_addrlen) != 0) {
    const int err = errno;
    if (fd >= 0) close(fd);
    return Result::Failed(Fault::Open, err,
                          "can't listen for loggers on UDP " + shown + ": " +
                              (err == EADDRINUSE ? std::string("another program is using that port")
                                                 : std::string(std::strerror(err))));
  }
  listener->reset(new UdpListener(fd, allow, shown));
  return {};
}

UdpListener::~UdpListener() {
  close(fd_);
}

bool UdpListener::Receive(std::string* datagram, NetPeer* from) {
  char buffer[kNetRequestLimit];
  alignas(cmsghdr) char control[256];
  for (;;) {
    iovec data{buffer, sizeof buffer};
    msghdr message{};
    message.msg_name = &from->address;
    message.msg_namelen = sizeof from->address;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    // MSG_TRUNC not asked for: a longer datagram is cut, the rest dropped.
    const ssize_t n = recvmsg(fd_, &message, 0);
    if (n < 0) return false;
    from->length = message.msg_namelen;
    if (!IsLoopback(from->address) && !Allows(allow_, from->address)) {
      ++dropped_;
      continue;
    }
    from->local = {};
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
        std::memcpy(&from->local.v4, CMSG_DATA(c), sizeof from->local.v4);
        from->local.family = AF_INET;
      } else if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_PKTINFO) {
        std::memcpy(&from->local.v6, CMSG_DATA(c), sizeof from->local.v6);
        from->local.family = AF_INET6;
      }
    }
    datagram->assign(buffer, static_cast<size_t>(n));
    return true;
  }
}

void UdpListener::Reply(const NetPeer& to, std::string_view bytes) {
  iovec data{const_cast<char*>(bytes.data()), bytes.size()};
  msghdr message{};
  message.msg_name = const_cast<sockaddr_storage*>(&to.address);
  message.msg_namelen = to.length;
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in6_pktinfo))] = {};
  if (to.local.family == AF_INET) {
    // From the address the request came to, whatever the route would pick.
    in_pktinfo info{};
    info.ipi_spec_dst = to.local.v4.ipi_addr;
    message.msg_control = control;
    message.msg_controllen = CMSG_SPACE(sizeof info);
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof info);
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
  } else if (to.local.family == AF_INET6) {
    message.msg_control = control;
    message.msg_controllen = CMSG_SPACE(sizeof(in6_pktinfo));
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = IPPROTO_IPV6;
    c->cmsg_type = IPV6_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in6_pktinfo));
    std::memcpy(CMSG_DATA(c), &to.local.v6, sizeof(in6_pktinfo));
  }
  // Best effort, as the protocol is: a logger that has gone away loses it.
  sendmsg(fd_, &message, MSG_DONTWAIT | MSG_NOSIGNAL);
}

}  // namespace orvex
