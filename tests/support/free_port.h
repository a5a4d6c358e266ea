// A port on the loopback interface nobody uses just now: the kernel picks
// one and it is let go at once.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvex::test {

// type: SOCK_DGRAM or SOCK_STREAM.
inline int FreePort(int type) {
  const int probe = socket(AF_INET, type, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof at;
  bind(probe, reinterpret_cast<sockaddr*>(&at), len);
  getsockname(probe, reinterpret_cast<sockaddr*>(&at), &len);
  close(probe);
  return ntohs(at.sin_port);
}

}  // namespace orvex::test
