// The socket loggers key through: UDP, one datagram a request. Given only
// a port it listens on the loopback interface, so nobody else on the
// network can key the transmitter; requests that reach a loopback socket
// from another address are dropped. Listening beyond this computer needs
// a list of who may key from there; requests from anyone else are dropped.
// A reply leaves from the address its request was sent to.
#pragma once

#include <memory>
#include <string>

#include "base/result.h"
#include "core/config/net_address.h"
#include "core/net/net_keyer.h"

namespace orvex {

class UdpListener : public NetReplies {
 public:
  // where: "6789", "127.0.0.1:6789", "0.0.0.0:6789", "[::1]:6789"; allow:
  // who may key from other computers (an address beyond loopback is
  // refused without one). The socket into *listener, or why it cannot
  // listen there, in words.
  static Result Open(const std::string& where, const AllowList& allow,
                     std::unique_ptr<UdpListener>* listener);
  ~UdpListener() override;
  UdpListener(const UdpListener&) = delete;
  UdpListener& operator=(const UdpListener&) = delete;

  int Fd() const { return fd_; }
  const std::string& Address() const { return address_; }  // "127.0.0.1:6789"
  // The next datagram waiting (the first 256 bytes of it); false when none.
  bool Receive(std::string* datagram, NetPeer* from);
  void Reply(const NetPeer& to, std::string_view bytes) override;
  uint64_t Dropped() const { return dropped_; }  // from computers that may not key

 private:
  UdpListener(int fd, AllowList allow, std::string address)
      : fd_(fd), allow_(std::move(allow)), address_(std::move(address)) {}
  int fd_;
  AllowList allow_;  // besides this computer
  std::string address_;
  uint64_t dropped_ = 0;
};

}  // namespace orvex
