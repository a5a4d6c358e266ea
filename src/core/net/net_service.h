// Loggers keying through the program: the UDP socket and the NetKeyer
// together, wired into the send path. The window's NetLink and orvex-keyd
// each run one on their own loop: they watch Fd() and call Read when a
// datagram waits, and call Service again at NextWakeMs() (as the keyer's
// next element ends, while text or a reply waits), so a character follows
// the one before without waiting for the tick and a reply goes as its
// text ends, and nothing wakes for no reason.
#pragma once

#include <memory>
#include <string>

#include "core/net/net_keyer.h"
#include "core/net/udp_listener.h"

namespace orvex {

class NetService : private NetControl {
 public:
  // Listens where says (a port alone: on this computer only; beyond it
  // only with allow naming who may key) into *service, keying through
  // send; why it cannot, in words, otherwise.
  static Result Open(const std::string& where, const AllowList& allow, SendPath& send, Keyer& keyer,
                     NetControl& control, Attention& attention,
                     std::unique_ptr<NetService>* service);
  // Replies still owed are answered "break"; the send path no longer
  // serves this source.
  ~NetService() override;
  NetService(const NetService&) = delete;
  NetService& operator=(const NetService&) = delete;

  int Fd() const { return socket_->Fd(); }
  const std::string& Address() const { return socket_->Address(); }
  // Every datagram waiting: handled, and the pump run after each.
  void Read();
  // The pump for text waiting, the replies whose text has ended.
  void Service();
  bool Busy() const { return net_.Busy(); }
  int64_t NextWakeMs() { return net_.NextWakeMs(); }
  // A request asked the program to end and was let.
  bool Exiting() const { return exiting_; }
  // For the count at the end: requests, ignored, refused, and those from
  // other computers dropped at a loopback socket.
  const NetKeyer::Counts& Totals() const { return net_.Totals(); }
  uint64_t Dropped() const { return socket_->Dropped(); }

 private:
  NetService(std::unique_ptr<UdpListener> socket, SendPath& send, Keyer& keyer, NetControl& control,
             Attention& attention);
  bool Exit() override;
  bool SetDevice(std::string_view name) override { return control_.SetDevice(name); }

  std::unique_ptr<UdpListener> socket_;
  SendPath& send_;
  NetControl& control_;
  NetKeyer net_;
  bool exiting_ = false;
};

}  // namespace orvex
