#include "core/net/net_service.h"

namespace orvex {

Result NetService::Open(const std::string& where, const AllowList& allow, SendPath& send,
                        Keyer& keyer, NetControl& control, Attention& attention,
                        std::unique_ptr<NetService>* service) {
  std::unique_ptr<UdpListener> socket;
  if (Result opened = UdpListener::Open(where, allow, &socket); !opened.ok()) return opened;
  service->reset(new NetService(std::move(socket), send, keyer, control, attention));
  return {};
}

NetService::NetService(std::unique_ptr<UdpListener> socket, SendPath& send, Keyer& keyer,
                       NetControl& control, Attention& attention)
    : socket_(std::move(socket)),
      send_(send),
      control_(control),
      net_({keyer, send, *socket_, *this, attention}) {
  send_.SetKeyedSource(&net_);
}

NetService::~NetService() {
  net_.Clear();
  send_.SetKeyedSource(nullptr);
}

bool NetService::Exit() {
  exiting_ = exiting_ || control_.Exit();
  return exiting_;
}

void NetService::Read() {
  std::string datagram;
  NetPeer from;
  while (!exiting_ && socket_->Receive(&datagram, &from)) {
    net_.Handle(datagram, from);
    send_.Pump();
  }
}

void NetService::Service() {
  if (net_.Waiting() > 0) send_.Pump();
  net_.Poll();
}

}  // namespace orvex
