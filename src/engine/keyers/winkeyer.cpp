#include "engine/keyers/winkeyer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "base/clock.h"
#include "engine/lines/key_line.h"
#include "engine/system/emergency.h"

namespace orvex::engine {
namespace {

// Host commands.
constexpr char kAdmin = 0x00, kHostOpen = 0x02, kHostClose = 0x03;
constexpr char kSpeed = 0x02, kWeight = 0x03, kPttTiming = 0x04, kFarnsworth = 0x0D;
constexpr char kClearBuffer = 0x0A, kKeyImmediate = 0x0B, kMode = 0x0E;
constexpr char kMerge = 0x1B, kPttBuffered = 0x18;
constexpr char kModeSerialEcho = 0x04;
// The mode register's paddle bits: echo what the paddle sends, dit and dah
// swapped, and the keying mode (iambic B is 0).
constexpr char kModePaddleEcho = 0x40, kModeSwap = 0x08;
constexpr char kModeIambicA = 0x10, kModeUltimatic = 0x20, kModeBug = 0x30;

// Status bytes are 110xxxxx; the speed pot's 10xxxxxx; the rest are echoes.
constexpr unsigned char kXoff = 0x01, kBreakIn = 0x02;

int64_t NowMs() {
  return MonotonicNs() / 1'000'000;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

Result SetUpPort(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return Result::Failed(Fault::Open, ENOTTY, "not a serial port");
  ::cfmakeraw(&tio);
  ::cfsetispeed(&tio, B1200);
  ::cfsetospeed(&tio, B1200);
  tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | CRTSCTS | CSIZE);
  tio.c_cflag |= CS8 | CSTOPB | CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) return Result::FromErrno(Fault::Open, errno);
  ::tcflush(fd, TCIOFLUSH);
  return {};
}

// Waits up to ms for one byte from fd.
bool ReadByte(int fd, int ms, unsigned char* byte) {
  const int64_t end = NowMs() + ms;
  for (;;) {
    const int64_t left = end - NowMs();
    if (left < 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) return false;
    if (::read(fd, byte, 1) == 1) return true;
    if (p.revents & (POLLHUP | POLLERR)) return false;
  }
}

}  // namespace

WinKeyer::~WinKeyer() {
  Close();
}

Result WinKeyer::OpenAt(const KeyerPlace& place, std::unique_ptr<TextKeyer>* keyer) {
  auto winKeyer = std::make_unique<WinKeyer>();
  if (Result opened = winKeyer->Open(place.device, {}); !opened.ok()) return opened;
  *keyer = std::move(winKeyer);
  return {};
}

Result WinKeyer::Open(const std::string& device, const Setup& setup) {
  Close();
  if (Result fits = CheckPortDevice(device, PortKind::Serial); !fits.ok()) return fits;
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Result::FromErrno(Fault::Open, errno);
  bool exclusive = false;
  // A device that turns out to be no WinKeyer is left as it was found.
  termios found{};
  const bool restorable = ::tcgetattr(fd, &found) == 0;
  auto fail = [&](Result why) {
    if (restorable) ::tcsetattr(fd, TCSANOW, &found);
    if (exclusive) ::ioctl(fd, TIOCNXCL, nullptr);
    ::close(fd);
    return why;
  };
  if (Result port = SetUpPort(fd); !port.ok()) return fail(port);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(Result::FromErrno(Fault::Open, errno));
  if (::ioctl(fd, TIOCEXCL, nullptr) != 0) return fail(Result::FromErrno(Fault::Open, errno));
  exclusive = true;

  const std::string open = Bytes({kAdmin, kHostOpen});
  unsigned char version = 0;
  if (::write(fd, open.data(), open.size()) != static_cast<ssize_t>(open.size()) ||
      !ReadByte(fd, setup.answerMs, &version))
    return fail(Result::Failed(Fault::Open, ETIMEDOUT, "no WinKeyer answered on " + device));

  const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake < 0) return fail(Result::FromErrno(Fault::Open, errno));
  {
    std::lock_guard lock(mu_);
    fd_ = fd;
    wakeFd_ = wake;
    device_ = device;
    version_ = version;
    failure_ = {};
    waiting_.clear();
    inKeyer_.clear();
    xoff_ = breakIn_ = brokeIn_ = paddleEcho_ = false;
    paddleText_.clear();
    hold_.Drop();
    tuneEndMs_ = -1;
    tuning_ = false;
    interrupted_ = false;
    stopsSeen_ = emergency::Stops();
    lastHeardMs_ = lastSentMs_ = NowMs();
    registration_ = emergency::Register(fd, emergency::Kind::WinKeyer);
    // Each character echoed as it is sent: the host follows the key by it.
    Write(Bytes({kMode, kModeSerialEcho}));
  }
  if (setup.wpm > 0) SetSpeed(setup.wpm);
  SetWeight(setup.weight);
  SetPttTiming(setup.pttLeadMs, setup.pttTailMs);
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
  return failure_.ok() ? Result() : failure_;
}

void WinKeyer::Close() {
  if (thread_.joinable()) {
    stop_ = true;
    Wake();
    thread_.join();
  }
  std::lock_guard lock(mu_);
  if (fd_ < 0) return;
  if (failure_.ok()) {
    Write(Bytes({kClearBuffer}));
    Write(Bytes({kAdmin, kHostClose}));  // back to the keyer's own mode
    ::tcdrain(fd_);
  }
  DropAll();
  ended_ += std::exchange(dropped_, 0);
  emergency::Unregister(registration_);
  ::ioctl(fd_, TIOCNXCL, nullptr);
  ::close(fd_);
  ::close(wakeFd_);
  fd_ = wakeFd_ = -1;
}

void WinKeyer::Send(std::string_view letters, int) {
  if (letters.empty() || letters.size() > 2) return;
  std::lock_guard lock(mu_);
  CatchStop();
  if (fd_ < 0 || failure_.failed() || interrupted_ || brokeIn_) return;
  // Text after a rest: the keyer has from now to send it.
  if (waiting_.empty() && inKeyer_.empty()) lastSentMs_ = NowMs();
  Unit unit;
  unit.echoes = std::string(letters);
  unit.bytes = letters.size() == 2 ? std::string(1, kMerge) + unit.echoes : unit.echoes;
  waiting_.push_back(std::move(unit));
  ++queued_;
  TopUp();
}

void WinKeyer::Clear() {
  std::lock_guard lock(mu_);
  CatchStop();
  clearedMs_ = NowMs();
  DropAll();
  ended_ += std::exchange(dropped_, 0);
  if (fd_ >= 0 && failure_.ok()) {
    Write(Bytes({kClearBuffer}));
    if (tuning_) Write(Bytes({kKeyImmediate, 0}));
    if (hold_.Held()) Write(Bytes({kPttBuffered, 0}));
  }
  tuning_ = false;
  hold_.Drop();
  tuneEndMs_ = -1;
  interrupted_ = brokeIn_ = false;
}

void WinKeyer::SetSpeed(int wpm) {
  std::lock_guard lock(mu_);
  unitMs_ = static_cast<int>(UnitNs(wpm) / 1'000'000);
  if (fd_ >= 0 && failure_.ok()) Write(Bytes({kSpeed, wpm}));
}

void WinKeyer::SetWeight(int percent) {
  std::lock_guard lock(mu_);
  if (fd_ >= 0 && failure_.ok()) Write(Bytes({kWeight, std::clamp(percent, 10, 90)}));
}

void WinKeyer::SetFarnsworth(int wpm) {
  std::lock_guard lock(mu_);
  // The keyer stretches from 10 WPM up; any other number turns it off.
  if (fd_ >= 0 && failure_.ok()) Write(Bytes({kFarnsworth, wpm >= 10 && wpm <= 99 ? wpm : 0}));
}

void WinKeyer::SetPttTiming(int leadMs, int tailMs) {
  std::lock_guard lock(mu_);
  pttLeadMs_ = std::max(leadMs, 0);
  // The keyer counts both in tens of ms, up to 2.5 s.
  if (fd_ >= 0 && failure_.ok())
    Write(Bytes({kPttTiming, std::clamp(leadMs / 10, 0, 250), std::clamp(tailMs / 10, 0, 250)}));
}

void WinKeyer::Tune(int ms) {
  {
    std::lock_guard lock(mu_);
    CatchStop();
    if (fd_ < 0 || failure_.failed() || interrupted_) return;
    const emergency::LineChange change;
    if (!change.Allowed()) return;
    Write(Bytes({kKeyImmediate, 1}));
    tuning_ = true;
    tuneEndMs_ = NowMs() + std::max(ms, 0);
  }
  Wake();
}

void WinKeyer::HoldPtt(bool on, int limitMs) {
  {
    std::lock_guard lock(mu_);
    CatchStop();
    if (fd_ < 0 || failure_.failed() || (on && interrupted_)) return;
    const emergency::LineChange change;
    if (on && !change.Allowed()) return;
    const bool was = hold_.Held();
    hold_.Ask(on, limitMs, NowMs());
    if (hold_.Held() != was) Write(Bytes({kPttBuffered, hold_.Held() ? 1 : 0}));
  }
  Wake();
}

int WinKeyer::Pending() {
  std::lock_guard lock(mu_);
  return static_cast<int>(waiting_.size() + inKeyer_.size()) + (tuning_ ? 1 : 0);
}

Result WinKeyer::Failure() {
  std::lock_guard lock(mu_);
  return failure_;
}

std::string WinKeyer::Name() {
  return "WinKeyer " + std::to_string(version_ / 10) + "." + std::to_string(version_ % 10) +
         " on " + device_;
}

void WinKeyer::TopUp() {
  CatchStop();
  if (fd_ < 0 || failure_.failed() || interrupted_ || xoff_) return;
  while (inKeyer_.size() < kAhead && !waiting_.empty()) {
    const emergency::LineChange change;
    if (!change.Allowed()) return;
    if (inKeyer_.empty()) lastHeardMs_ = NowMs();  // the answer is awaited from now
    Write(waiting_.front().bytes);
    if (failure_.failed()) return;
    inKeyer_.push_back(std::move(waiting_.front()));
    waiting_.pop_front();
  }
}

void WinKeyer::Write(std::string_view bytes) {
  // One write() a command: a command never reaches the keyer split by the
  // emergency's clear.
  while (!bytes.empty() && failure_.ok()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
    } else if (n < 0 && errno == EAGAIN) {
      pollfd p{fd_, POLLOUT, 0};
      if (::poll(&p, 1, 200) <= 0) Fail(ETIMEDOUT, "the WinKeyer takes nothing more");
    } else if (n < 0 && errno != EINTR) {
      Fail(errno, nullptr);
    }
  }
}

void WinKeyer::Heard(unsigned char byte) {
  if ((byte & 0xC0) == 0xC0) return Status(byte);
  if ((byte & 0xC0) == 0x80) return;  // the speed pot moved: the program's speed rules
  // What the paddle sent: while it is in use, or with no text of ours out.
  if (paddleEcho_ && (breakIn_ || inKeyer_.empty())) {
    if (paddleText_.size() < 4096) paddleText_ += static_cast<char>(byte);
    return;
  }
  // An echo of something a clear dropped may still come a moment later.
  const bool afterClear = NowMs() - clearedMs_ < 500;
  if (inKeyer_.empty()) {
    if (!afterClear) Garbled(byte);
    return;
  }
  Unit& front = inKeyer_.front();
  if (static_cast<unsigned char>(front.echoes[front.echoed]) == byte) {
    if (++front.echoed == front.echoes.size()) EndUnits(1);
  } else if (inKeyer_.size() > 1 && static_cast<unsigned char>(inKeyer_[1].echoes[0]) == byte) {
    // The keyer echoed less of the first than expected: it has gone.
    EndUnits(1);
    if (++inKeyer_.front().echoed == inKeyer_.front().echoes.size()) EndUnits(1);
  } else if (!afterClear) {
    Garbled(byte);
  }
}

Result WinKeyer::SetPaddle(PaddleMode mode, bool swap) {
  char bits = kModeSerialEcho;
  switch (mode) {
    case PaddleMode::None:
    case PaddleMode::IambicB:
      break;
    case PaddleMode::IambicA:
      bits |= kModeIambicA;
      break;
    case PaddleMode::Ultimatic:
      bits |= kModeUltimatic;
      break;
    case PaddleMode::Bug:
      bits |= kModeBug;
      break;
    case PaddleMode::Straight:
      return Result::Refused("a WinKeyer's paddle input has no straight-key mode");
  }
  if (mode != PaddleMode::None) bits |= kModePaddleEcho;
  if (swap) bits |= kModeSwap;
  std::lock_guard lock(mu_);
  paddleEcho_ = mode != PaddleMode::None;
  if (fd_ >= 0 && failure_.ok()) Write(Bytes({kMode, bits}));
  return {};
}

std::string WinKeyer::TakePaddleText() {
  std::lock_guard lock(mu_);
  return std::exchange(paddleText_, {});
}

void WinKeyer::Garbled(unsigned char byte) {
  // Only its echo says what went out: one that matches nothing it was given
  // (noise on the line, another program on the port) makes every later
  // echo doubtful, and the text is not taken as sent.
  char words[64];
  std::snprintf(words, sizeof words, "the WinKeyer echoed 0x%02X, which it was not sent", byte);
  Fail(EPROTO, words);
}

void WinKeyer::Status(unsigned char status) {
  xoff_ = (status & kXoff) != 0;
  const bool breakIn = (status & kBreakIn) != 0;
  if (breakIn && !breakIn_ && (!inKeyer_.empty() || !waiting_.empty())) {
    // The operator took the paddle: the keyer dropped its text, and so do we.
    ++breakIns_;
    brokeIn_ = true;  // nothing more until the program has stopped too
    DropAll();
  }
  breakIn_ = breakIn;
  // Busy and idle are not taken as sent: only the keyer's echo says a
  // character went out (a flipped status bit must not end text unsent).
}

void WinKeyer::EndUnits(size_t n) {
  n = std::min(n, inKeyer_.size());
  if (n == 0) return;
  inKeyer_.erase(inKeyer_.begin(), inKeyer_.begin() + static_cast<ptrdiff_t>(n));
  ended_ += n;
  lastSentMs_ = NowMs();
  hold_.KeyDown();
  hold_.KeyedUntil(lastSentMs_);
}

void WinKeyer::DropAll() {
  // Not sent: counted as ended only at the send path's stop (Clear), so
  // that what the echo shows as sent is what the keyer echoed.
  dropped_ += waiting_.size() + inKeyer_.size();
  waiting_.clear();
  inKeyer_.clear();
}

void WinKeyer::Fail(int err, const char* words) {
  if (failure_.failed()) return;
  failure_ =
      words ? Result::Failed(Fault::Write, err, words) : Result::FromErrno(Fault::Write, err);
  DropAll();
  tuning_ = false;
  hold_.Drop();
}

void WinKeyer::CatchStop() {
  const uint32_t stops = emergency::Stops();
  if (stops == stopsSeen_) return;
  // The stop's handler cleared the keyer's buffer and keyed it up.
  stopsSeen_ = stops;
  DropAll();
  tuning_ = false;
  hold_.Drop();
  tuneEndMs_ = -1;
  interrupted_ = true;
  emergency::StopHandled(stops);
}

void WinKeyer::Wake() {
  if (wakeFd_ < 0) return;
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

int64_t WinKeyer::SilenceLimitMs() const {
  return 3000 + 60LL * unitMs_ + pttLeadMs_;
}

int64_t WinKeyer::NextDeadlineMs() const {
  int64_t next = NowMs() + 1000;
  if (tuning_) next = std::min(next, tuneEndMs_);
  if (hold_.Held()) next = std::min(next, hold_.Deadline());
  if (!inKeyer_.empty()) next = std::min(next, lastHeardMs_ + SilenceLimitMs());
  return next;
}

void WinKeyer::Run() {
  while (!stop_) {
    int timeout = 0;
    {
      std::lock_guard lock(mu_);
      timeout = static_cast<int>(std::clamp<int64_t>(NextDeadlineMs() - NowMs(), 0, 1000));
    }
    pollfd p[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    ::poll(p, 2, timeout);
    if (p[1].revents & POLLIN) {
      uint64_t drained = 0;
      [[maybe_unused]] ssize_t n = ::read(wakeFd_, &drained, sizeof drained);
    }
    std::lock_guard lock(mu_);
    if (stop_) break;
    const int64_t now = NowMs();
    if (failure_.ok() && (p[0].revents & (POLLIN | POLLHUP | POLLERR))) {
      unsigned char bytes[64];
      const ssize_t n = ::read(fd_, bytes, sizeof bytes);
      if (n > 0) {
        lastHeardMs_ = now;
        for (ssize_t i = 0; i < n; ++i) Heard(bytes[i]);
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        Fail(errno, nullptr);  // the adapter was pulled out
      } else if (n == 0 || (p[0].revents & (POLLHUP | POLLERR))) {
        Fail(EIO, nullptr);
      }
    }
    if (failure_.failed()) continue;
    if (tuning_ && now >= tuneEndMs_) {
      Write(Bytes({kKeyImmediate, 0}));
      tuning_ = false;
      tuneEndMs_ = -1;
    }
    if (waiting_.empty() && inKeyer_.empty() && hold_.Expire(now)) {
      // Held with nothing sent for too long: a stuck transmitter, dropped.
      Write(Bytes({kPttBuffered, 0}));
      ++holdsDropped_;
    }
    // A keyer that said nothing since well past the longest character it
    // was given has gone (a pulled adapter that still takes writes); one
    // that keeps talking but sends nothing (held in XOFF, or busy without
    // an echo) has stopped taking text.
    const bool owed = !inKeyer_.empty() || !waiting_.empty();
    if (owed && xoff_ && now >= lastSentMs_ + SilenceLimitMs())
      Fail(ETIMEDOUT, "the WinKeyer takes no more text: it stays in XOFF");
    else if (!inKeyer_.empty() && now >= lastHeardMs_ + SilenceLimitMs())
      Fail(ETIMEDOUT, "the WinKeyer stopped answering");
    else if (owed && now >= lastSentMs_ + SilenceLimitMs())
      Fail(ETIMEDOUT, "the WinKeyer stopped sending");
    TopUp();
  }
}

}  // namespace orvex::engine
