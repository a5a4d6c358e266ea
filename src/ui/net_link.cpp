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
  if (net_ && settings_.NetKeyer == where_) return;
  Close();
  where_ = settings_.NetKeyer;
  if (where_.empty()) return;
  if (const Result opened = NetService::Open(Cp1252ToUtf8(where_), send_, keyer_, *this, &net_);
      !opened.ok()) {
    Text words = opened.text();
    words[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(words[0])));
    ShowMessage(sink_, words, {}, "CW Setup");
    return;
  }
  notifier_ = std::make_unique<QSocketNotifier>(net_->Fd(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
    net_->Read();
    Service();
  });
}

void NetLink::Close() {
  fast_.stop();
  notifier_.reset();
  net_.reset();
}

void NetLink::Service() {
  if (!net_) return;
  net_->Service();
  if (net_->Busy() && !fast_.isActive()) fast_.start();
  if (!net_->Busy()) fast_.stop();
}

}  // namespace orvex
