// A network that misbehaves, between a sender and a UDP keyer: each way,
// some datagrams come a place late (after the next one), some twice and
// some not at all, in a fixed pattern.
//   orvex-udp-relay LISTEN_PORT TARGET_PORT    (both on 127.0.0.1)
#include <arpa/inet.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  auto address = [](const char* port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(std::atoi(port)));
    return a;
  };
  const sockaddr_in listen = address(argv[1]), target = address(argv[2]);
  const int outer = socket(AF_INET, SOCK_DGRAM, 0), inner = socket(AF_INET, SOCK_DGRAM, 0);
  if (bind(outer, reinterpret_cast<const sockaddr*>(&listen), sizeof listen) != 0) return 1;
  connect(inner, reinterpret_cast<const sockaddr*>(&target), sizeof target);
  sockaddr_in sender{};
  struct Way {
    int from, to;
    unsigned n = 0;
    std::string held;  // a datagram that comes after the next one
  } ways[2] = {{outer, inner, 0, {}}, {inner, outer, 0, {}}};
  for (;;) {
    pollfd p[2] = {{outer, POLLIN, 0}, {inner, POLLIN, 0}};
    if (poll(p, 2, -1) < 0) return 1;
    for (int i = 0; i < 2; ++i) {
      if (!(p[i].revents & POLLIN)) continue;
      Way& w = ways[i];
      char buf[512];
      socklen_t len = sizeof sender;
      const ssize_t got =
          i == 0 ? recvfrom(outer, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&sender), &len)
                 : recv(inner, buf, sizeof buf, 0);
      if (got < 0) continue;
      auto pass = [&](const std::string& d) {
        if (i == 0)
          send(inner, d.data(), d.size(), 0);
        else
          sendto(outer, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&sender),
                 sizeof sender);
      };
      const std::string datagram(buf, static_cast<size_t>(got));
      const unsigned n = ++w.n;
      if (n % 11 == 5) continue;  // lost
      if (n % 5 == 2 && w.held.empty()) {
        w.held = datagram;  // overtaken by the next
        continue;
      }
      pass(datagram);
      if (n % 7 == 3) pass(datagram);  // twice
      if (!w.held.empty()) pass(std::exchange(w.held, {}));
    }
  }
}
