#include "ui/net_link.h"

#include "base/message.h"

namespace orvex {

NetLink::NetLink(SendPath& send, Keyer& keyer, const EnvSettings& settings, MessageSink& sink)
    : send_(send), keyer_(keyer), settings_(settings), sink_(sink) {
  fast_.setInterval(1);
  fast_.setTimerType(Qt::PreciseTimer);
  connect(&fast_, &QTimer::timeout, this, [this] { Service(); });
}

NetLink::~NetLink() {
  Close();
}

void NetLink::Apply() {
  if (socket_ && settings_.NetKeyer == where_) return;
  Close();
  where_ = settings_.NetKeyer;
  if (where_.empty()) return;
  std::string error;
  socket_ = UdpListener::Open(where_, &error);
  if (!socket_) {
    error[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(error[0])));
    ShowMessage(sink_, error, std::nullopt, "CW Setup");
    return;
  }
  net_ =
      std::make_unique<NetKeyer>(NetKeyer::Parts{keyer_, send_.Port(), settings_, *socket_, *this});
  send_.Queue().SetKeyedSource(net_.get());
  notifier_ = std::make_unique<QSocketNotifier>(socket_->Fd(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Read(); });
}

void NetLink::Close() {
  fast_.stop();
  notifier_.reset();
  if (net_) {
    net_->Clear();
    send_.Queue().SetKeyedSource(nullptr);
  }
  net_.reset();
  socket_.reset();
}

void NetLink::Read() {
  std::string datagram;
  NetPeer from;
  while (socket_ && socket_->Receive(&datagram, &from)) {
    net_->Handle(datagram, from);
    send_.Queue().PumpCW();
  }
  Service();
}

void NetLink::Service() {
  if (!net_) return;
  if (net_->Waiting() > 0) send_.Queue().PumpCW();
  net_->Poll();
  if (net_->Busy() && !fast_.isActive()) fast_.start();
  if (!net_->Busy()) fast_.stop();
}

}  // namespace orvex
