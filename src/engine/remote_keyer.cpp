#include "engine/remote_keyer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/clock.h"

namespace orvex::engine {
namespace {

// Past the character's own time, how long the far end may take to answer.
constexpr int64_t kAnswerNs = 3'000'000'000;
// While it keys, tunes or holds PTT for us, the far end hears from us at
// least this often (a keep-keying request when nothing else goes): an
// orvex-keyd there ends what it does for a sender that falls silent.
constexpr int64_t kTellNs = 700'000'000;

}  // namespace

Result RemoteKeyer::Open(const sockaddr* peer, socklen_t length, std::string name,
                         std::unique_ptr<RemoteKeyer>* keyer) {
  const int fd = ::socket(peer->sa_family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return Result::FromErrno(Fault::Open, errno);
  if (::connect(fd, peer, length) != 0) {
    const int err = errno;
    ::close(fd);
    return Result::FromErrno(Fault::Open, err);
  }
  keyer->reset(new RemoteKeyer(fd, std::move(name)));
  return {};
}

RemoteKeyer::~RemoteKeyer() {
  Clear();
  emergency::Unregister(registration_);
  ::close(fd_);
}

void RemoteKeyer::Command(char letter, const std::string& argument) {
  Request(std::string{'\x1b', letter} + argument);
  if (letter == 'k' && argument.empty()) told_ = true;
}

void RemoteKeyer::Request(const std::string& bytes) {
  if (failure_.failed()) return;
  if (::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) < 0 && errno != EAGAIN)
    Fail(errno, errno == ECONNREFUSED ? "nothing listens there" : "");
  askedNs_ = MonotonicNs();
}

void RemoteKeyer::Send(std::string_view what, int units) {
  Advance();
  if (failure_.failed()) return;
  waiting_.push_back({std::string(what), units});
  ++queued_;
  Advance();
}

void RemoteKeyer::Drop() {
  ended_ += waiting_.size() + inFlight_.size();
  waiting_.clear();
  inFlight_.clear();
}

void RemoteKeyer::Clear() {
  Advance();
  stale_ += static_cast<int>(inFlight_.size());  // each is answered once: "break"
  Drop();
  tuneEndNs_ = 0;
  hold_.Drop();  // the abort ends the far end's hold too
  Command('4');
}

void RemoteKeyer::SetSpeed(int wpm) {
  wpm = std::clamp(wpm, 5, 60);  // what the protocol takes
  unitNs_ = 1'200'000'000 / wpm;
  Command('2', std::to_string(wpm));
}

void RemoteKeyer::SetWeight(int percent) {
  Command('7', std::to_string(std::clamp(percent, 0, 100) - 50));
}

void RemoteKeyer::SetPttTiming(int leadMs, int) {
  Command('d', std::to_string(std::max(leadMs, 0)));
}

void RemoteKeyer::Tune(int ms) {
  const int seconds = std::clamp((ms + 999) / 1000, 1, 10);  // what the protocol takes
  Command('c', std::to_string(seconds));
  // The far end keys the tune after its own PTT lead (up to half a second),
  // and says nothing when it is done: it counts as tuning until then.
  tuneEndNs_ = MonotonicNs() + int64_t{seconds} * 1'000'000'000 + 500'000'000;
}

void RemoteKeyer::HoldPtt(bool on, int limitMs) {
  const bool was = hold_.Held();
  hold_.Ask(on, int64_t{std::max(limitMs, 0)} * 1'000'000, MonotonicNs());
  if (hold_.Held() || was) Command('a', hold_.Held() ? "1" : "0");
}

int RemoteKeyer::Pending() {
  Advance();
  const bool tuning = !failure_.failed() && MonotonicNs() < tuneEndNs_;  // counts as one
  return static_cast<int>(waiting_.size() + inFlight_.size()) + (tuning ? 1 : 0);
}

uint64_t RemoteKeyer::Ended() {
  Advance();
  return ended_;
}

void RemoteKeyer::Fail(int err, const std::string& words) {
  if (failure_.failed()) return;
  failure_ = words.empty() ? Result::FromErrno(Fault::Write, err)
                           : Result::Failed(Fault::Write, err, words);
  Drop();
}

void RemoteKeyer::Advance() {
  const int64_t now = MonotonicNs();
  char reply[300];
  for (ssize_t n; (n = ::recv(fd_, reply, sizeof reply, 0)) != 0;) {
    if (n < 0) {
      // Nobody listens there: the far end's system said so.
      if (errno == ECONNREFUSED) Fail(errno, "nothing listens there");
      break;
    }
    heardNs_ = now;
    if (stale_ > 0) {
      --stale_;
    } else if (std::string_view(reply, static_cast<size_t>(n)) == "break\r\n") {
      Fail(EIO, "it answered break: it is not keying");
    } else if (!inFlight_.empty()) {
      inFlight_.pop_front();
      ++ended_;
      hold_.KeyDown();
      hold_.KeyedUntil(now);
    }
  }
  if (failure_.failed()) return;
  if (inFlight_.empty() && waiting_.empty() && hold_.Expire(now)) {
    ++holdsDropped_;
    Command('a', "0");
  }
  if (!inFlight_.empty() && now - heardNs_ > kAnswerNs + 2 * inFlight_.front().units * unitNs_) {
    Fail(ETIMEDOUT, "it does not answer");
    return;
  }
  while (inFlight_.size() < kAhead && !waiting_.empty()) {
    if (inFlight_.empty()) heardNs_ = now;  // its answer is awaited from now
    Request(waiting_.front().what + "^");
    if (failure_.failed()) return;
    inFlight_.push_back(std::move(waiting_.front()));
    waiting_.pop_front();
  }
  const bool busy = !inFlight_.empty() || now < tuneEndNs_ || hold_.Held();
  if (busy && now - askedNs_ >= kTellNs) Command('k');
  if (told_ && !busy) {
    told_ = false;
    Command('k', "0");  // done: no longer to be watched
  }
}

}  // namespace orvex::engine
