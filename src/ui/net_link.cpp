#include "ui/net_link.h"

#include <algorithm>

#include "base/clock.h"
#include "base/message.h"

namespace orvex {

NetLink::NetLink(SendPath& send, Keyer& keyer, const EnvSettings& settings, MessageSink& sink,
                 Attention& attention)
    : send_(send), keyer_(keyer), settings_(settings), sink_(sink), attention_(attention) {
  next_.setSingleShot(true);
  next_.setTimerType(Qt::PreciseTimer);
  connect(&next_, &QTimer::timeout, this, [this] { Service(); });
}

NetLink::~NetLink() {
  Close();
}

void NetLink::Apply() {
  if (net_ && settings_.NetKeyer == where_) return;
  Close();
  where_ = settings_.NetKeyer;
  if (where_.empty()) return;
  if (const Result opened =
          NetService::Open(Cp1252ToUtf8(where_), {}, send_, keyer_, *this, attention_, &net_);
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
  next_.stop();
  notifier_.reset();
  net_.reset();
}

void NetLink::Service() {
  if (!net_) return;
  net_->Service();
  if (!net_->Busy()) {
    next_.stop();
    return;
  }
  // As the keyer's next element ends; when it has nothing under way (the
  // window's own text first, a PTT lead), soon again, since a reply owed
  // goes out only from here.
  constexpr int64_t kSoonMs = 20;
  const int64_t next = net_->NextWakeMs();
  const int64_t wait = next < 0 ? kSoonMs : next - MonotonicNs() / 1'000'000;
  next_.start(static_cast<int>(std::clamp<int64_t>(wait, 0, kSoonMs)));
}

}  // namespace orvex
