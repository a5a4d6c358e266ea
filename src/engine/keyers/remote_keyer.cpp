#include "engine/keyers/remote_keyer.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "base/clock.h"
#include "engine/keyers/morse_code.h"

namespace orvex::engine {
namespace {

// Past the character's own time, how long the far end may take to answer.
constexpr int64_t kAnswerNs = 3'000'000'000;
// A numbered character unanswered this long past its own time is sent
// again: the request or its reply was lost.
constexpr int64_t kAgainNs = 250'000'000;
// While it keys, tunes or holds PTT for us, the far end hears from us at
// least this often (a keep-keying request when nothing else goes): an
// orvex-keyd there ends what it does for a sender that falls silent.
constexpr int64_t kTellNs = 700'000'000;
// The far end keys a tune after its own PTT lead (up to half a second) and
// says nothing when it is done.
constexpr int64_t kMostLeadNs = 500'000'000;

}  // namespace

RemoteKeyer::RemoteKeyer(int fd, std::string address)
    : fd_(fd),
      address_(std::move(address)),
      // Numbers start anywhere: a far end that still remembers another
      // sender's from this address and port must not take ours for repeats.
      seq_(static_cast<uint64_t>(MonotonicNs() / 1000) % 1'000'000'000),
      registration_(emergency::Register(fd, emergency::Kind::FarKeyer)) {}

Result RemoteKeyer::Open(const sockaddr* peer, socklen_t length, std::string name,
                         std::unique_ptr<RemoteKeyer>* keyer) {
  const int fd = ::socket(peer->sa_family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return Result::FromErrno(Fault::Open, errno);
  if (::connect(fd, peer, length) != 0) {
    const int err = errno;
    ::close(fd);
    return Result::FromErrno(Fault::Open, err);
  }
  std::unique_ptr<RemoteKeyer> made(new RemoteKeyer(fd, std::move(name)));
  // An orvex-keyd answers the probe at once; another daemon ignores it.
  for (int attempt = 0; attempt < 3 && !made->numbered_; ++attempt) {
    made->Command('s');
    pollfd in{fd, POLLIN, 0};
    char reply[64];
    for (int64_t end = MonotonicNs() + 50'000'000; !made->numbered_;) {
      const int64_t left = (end - MonotonicNs()) / 1'000'000;
      if (left <= 0 || ::poll(&in, 1, static_cast<int>(left)) != 1) break;
      const ssize_t n = ::recv(fd, reply, sizeof reply, 0);
      if (n < 0 && errno == ECONNREFUSED)
        return Result::Failed(Fault::Open, ECONNREFUSED, "nothing listens there");
      made->numbered_ = n == 3 && std::string_view(reply, 3) == "s\r\n";
    }
  }
  *keyer = std::move(made);
  return {};
}

Result RemoteKeyer::OpenAt(const KeyerPlace& place, std::unique_ptr<TextKeyer>* keyer) {
  const size_t colon = place.remote.rfind(':');
  std::string host = place.remote.substr(0, colon);
  if (host.size() > 1 && host.front() == '[') host = host.substr(1, host.size() - 2);
  addrinfo hints{};
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (colon == std::string::npos ||
      ::getaddrinfo(host.c_str(), place.remote.c_str() + colon + 1, &hints, &found) != 0)
    return Result::Failed(Fault::Open, EINVAL, "no keyer address " + place.remote + " (host:port)");
  std::unique_ptr<RemoteKeyer> remote;
  const Result opened = Open(found->ai_addr, found->ai_addrlen, place.remote, &remote);
  ::freeaddrinfo(found);
  if (opened.ok()) *keyer = std::move(remote);
  return opened;
}

std::string RemoteKeyer::Written(unsigned char c) const {
  if (MorseCode(c).empty()) return {};
  switch (c) {
    case '+':
      return "*";
    case '@':
      return "<";
    case '%':
      return "&";
    case '-':
    case '~':
      return {};
    default:
      return std::string(1, static_cast<char>(c));
  }
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
  // Not sent: counted as ended only at the send path's stop (Clear), so
  // that what the echo shows as sent is what the far end answered.
  dropped_ += waiting_.size();
  waiting_.clear();
  inFlight_ = false;
}

void RemoteKeyer::Clear() {
  Advance();
  if (inFlight_) ++seq_;  // its reply, should it still come, is not the next one's
  Drop();
  ended_ += std::exchange(dropped_, 0);
  tuneEndNs_ = 0;
  hold_.Drop();  // the abort ends the far end's hold too
  Command('4');
}

void RemoteKeyer::SetSpeed(int wpm) {
  unitNs_ = UnitNs(wpm);
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
  tuneEndNs_ = MonotonicNs() + int64_t{seconds} * 1'000'000'000 + kMostLeadNs;
}

void RemoteKeyer::HoldPtt(bool on, int limitMs) {
  const bool was = hold_.Held();
  hold_.Ask(on, int64_t{std::max(limitMs, 0)} * 1'000'000, MonotonicNs());
  if (hold_.Held() || was) Command('a', hold_.Held() ? "1" : "0");
}

int RemoteKeyer::Pending() {
  Advance();
  const bool tuning = !failure_.failed() && MonotonicNs() < tuneEndNs_;  // counts as one
  return static_cast<int>(waiting_.size()) + (tuning ? 1 : 0);
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

void RemoteKeyer::SendInFlight(int64_t now) {
  const Char& c = waiting_.front();
  if (numbered_)
    Command('s', std::to_string(seq_) + " " + c.what);
  else
    Request(c.what + "^");
  againNs_ = now + c.units * unitNs_ + kAgainNs;
}

void RemoteKeyer::Answer(std::string_view reply, int64_t now) {
  if (reply == "break\r\n") {
    if (inFlight_) Fail(EIO, "it answers break: it is not keying");
    return;
  }
  // Only the reply the character in flight waits for: a late one for a
  // character a stop dropped, or a duplicate, is not the next one's.
  std::string expected;
  if (numbered_)
    expected.append("s").append(std::to_string(seq_)).append("\r\n");
  else if (inFlight_)
    expected.append(waiting_.front().what).append("\r\n");
  if (!inFlight_ || reply != expected) return;
  waiting_.pop_front();
  inFlight_ = false;
  ++seq_;
  ++ended_;
  hold_.KeyDown();
  hold_.KeyedUntil(now);
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
    Answer({reply, static_cast<size_t>(n)}, now);
  }
  if (failure_.failed()) return;
  if (waiting_.empty() && hold_.Expire(now)) {
    ++holdsDropped_;
    Command('a', "0");
  }
  if (inFlight_ && now - sentNs_ > kAnswerNs + 2 * waiting_.front().units * unitNs_) {
    Fail(ETIMEDOUT, "it does not answer");
    return;
  }
  if (!inFlight_ && !waiting_.empty()) {
    inFlight_ = true;
    sentNs_ = now;
    SendInFlight(now);
  } else if (inFlight_ && numbered_ && now >= againNs_) {
    SendInFlight(now);  // lost on the way, or its reply was: the far end keys it once
  }
  const bool busy = inFlight_ || now < tuneEndNs_ || hold_.Held();
  if (busy && (!told_ || now - askedNs_ >= kTellNs)) Command('k');
  if (told_ && !busy) {
    told_ = false;
    Command('k', "0");  // done: no longer to be watched
  }
}

}  // namespace orvex::engine
