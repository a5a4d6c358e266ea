// The socket loggers key through: UDP, one datagram a request. Given only
// a port it listens on the loopback interface, so nobody else on the
// network can key the transmitter; requests that reach a loopback socket
// from another address are dropped.
#pragma once

#include <memory>
#include <string>

#include "base/result.h"
#include "core/net/net_keyer.h"

namespace orvex {

class UdpListener : public NetReplies {
 public:
  // where: "6789", "127.0.0.1:6789", "0.0.0.0:6789", "[::1]:6789"; the
  // socket into *listener, or why it cannot listen there, in words.
  static Result Open(const std::string& where, std::unique_ptr<UdpListener>* listener);
  ~UdpListener() override;
  UdpListener(const UdpListener&) = delete;
  UdpListener& operator=(const UdpListener&) = delete;

  int Fd() const { return fd_; }
  const std::string& Address() const { return address_; }  // "127.0.0.1:6789"
  // The next datagram waiting (the first 256 bytes of it); false when none.
  bool Receive(std::string* datagram, NetPeer* from);
  void Reply(const NetPeer& to, std::string_view bytes) override;
  uint64_t Dropped() const { return dropped_; }  // from outside the loopback

 private:
  UdpListener(int fd, bool loopback, std::string address)
      : fd_(fd), loopback_(loopback), address_(std::move(address)) {}
  int fd_;
  bool loopback_;
  std::string address_;
  uint64_t dropped_ = 0;
};

}  // namespace orvex
