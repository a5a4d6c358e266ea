#include "support/winkeyer_emulator.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "core/sending/morse_table.h"

namespace orvex::test {
namespace {

int64_t SteadyUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int64_t SteadyMs() {
  return SteadyUs() / 1000;
}

// Bytes a command takes, its first byte included (admin commands: two,
// the echo test three; load defaults sixteen).
size_t CommandLength(const std::string& c) {
  static const size_t kLength[32] = {2, 2, 2, 2, 3, 4, 2, 1, 1, 2, 1, 2, 2, 2, 2, 16,
                                     2, 2, 2, 1, 2, 1, 2, 2, 2, 2, 2, 3, 2, 2, 1, 1};
  const bool echoTest = c[0] == 0x00 && c.size() > 1 && c[1] == 0x04;
  return echoTest ? 3 : kLength[static_cast<unsigned char>(c[0])];
}

// A character's length in units, the space after it included.
int64_t Units(const std::string& letters) {
  if (letters == " ") return 4;  // with the 3 after the character before: 7
  int64_t units = 2;
  for (char letter : letters)
    for (char e : MorseCode(static_cast<unsigned char>(letter))) units += e == '-' ? 4 : 2;
  return units;
}

}  // namespace

WinKeyerEmulator::WinKeyerEmulator(Options options) : options_(options), start_(SteadyMs()) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) std::abort();
  device_ = ::ptsname(master_);
  // Raw from the start, so nothing is echoed before the host sets it up.
  const int slave = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios tio{};
  ::tcgetattr(slave, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(slave, TCSANOW, &tio);
  ::close(slave);
  thread_ = std::thread([this] { Run(); });
}

WinKeyerEmulator::~WinKeyerEmulator() {
  stop_ = true;
  thread_.join();
  if (master_ >= 0) ::close(master_);
}

int64_t WinKeyerEmulator::Ms() const {
  return SteadyMs() - start_;
}

std::vector<WinKeyerEmulator::Command> WinKeyerEmulator::Commands() {
  std::lock_guard lock(mu_);
  return commands_;
}

bool WinKeyerEmulator::Got(const std::string& prefix, Command* found) {
  std::lock_guard lock(mu_);
  for (const Command& c : commands_)
    if (c.bytes.compare(0, prefix.size(), prefix) == 0) {
      if (found) *found = c;
      return true;
    }
  return false;
}

WinKeyerEmulator::State WinKeyerEmulator::Now() {
  std::lock_guard lock(mu_);
  State now = state_;
  now.keyDown = keyImmediate_ || !current_.empty();
  return now;
}

void WinKeyerEmulator::Paddle(const std::string& letters) {
  std::lock_guard lock(mu_);
  buffer_.clear();
  current_.clear();
  breakIn_ = true;
  breakInEnd_ = Ms() + 150;
  SendStatus();
  if (state_.mode & 0x40)  // paddle echo
    for (char c : letters) Reply(static_cast<unsigned char>(c));
}

void WinKeyerEmulator::GoSilent() {
  std::lock_guard lock(mu_);
  silent_ = true;
}

void WinKeyerEmulator::Unplug() {
  std::lock_guard lock(mu_);
  unplugged_ = true;  // its thread lets go of the device
}

bool WinKeyerEmulator::WaitFor(const std::function<bool()>& holds, int ms) {
  const int64_t end = SteadyMs() + ms;
  while (!holds()) {
    if (SteadyMs() > end) return false;
    ::usleep(2000);
  }
  return true;
}

void WinKeyerEmulator::Reply(unsigned char byte) {
  if (master_ >= 0 && !silent_) [[maybe_unused]]
    ssize_t n = ::write(master_, &byte, 1);
}

void WinKeyerEmulator::Run() {
  while (!stop_) {
    int fd = -1;
    {
      std::lock_guard lock(mu_);
      if (unplugged_ && master_ >= 0) ::close(std::exchange(master_, -1));
      fd = master_;
    }
    if (fd < 0) {
      ::usleep(2000);
      continue;
    }
    pollfd p{fd, POLLIN, 0};
    ::poll(&p, 1, options_.spin ? 0 : 2);
    unsigned char bytes[256];
    ssize_t n = 0;
    if (p.revents & POLLIN) n = ::read(fd, bytes, sizeof bytes);
    readUs_ = SteadyUs();  // before the lock, which a reader of the log may hold
    // The host's end closed: wait for it to open again.
    if (p.revents & POLLHUP && n <= 0) ::usleep(2000);
    std::lock_guard lock(mu_);
    for (ssize_t i = 0; i < n; ++i) Take(bytes[i]);
    Keying(Ms());
  }
}

void WinKeyerEmulator::Take(unsigned char byte) {
  if (partial_.empty() && byte >= 0x20) {
    Act(std::string(1, static_cast<char>(byte)));  // text
    return;
  }
  partial_ += static_cast<char>(byte);
  if (partial_.size() < CommandLength(partial_)) return;
  std::string command;
  command.swap(partial_);
  Act(command);
}

void WinKeyerEmulator::Act(const std::string& c) {
  commands_.push_back({Ms(), readUs_, c});
  if (silent_ || !options_.answers) return;
  const auto first = static_cast<unsigned char>(c[0]);
  const auto arg = [&c](size_t i) { return static_cast<unsigned char>(c[i]); };
  if (first == 0x00) {
    if (arg(1) == 0x02) {
      state_.hostOpen = true;
      Reply(static_cast<unsigned char>(options_.version));
    } else if (arg(1) == 0x03) {
      state_.hostOpen = keyImmediate_ = false;
      buffer_.clear();
      current_.clear();
    }
    return;
  }
  if (!state_.hostOpen) return;
  // A host has a moment to see XOFF: what was on the way may still come.
  if ((first == 0x1B || first >= 0x20) && (lastStatus_ & 0x01) && Ms() - xoffSince_ > 30)
    ++state_.pastXoff;
  switch (first) {
    case 0x02:
      state_.speed = arg(1);
      break;
    case 0x0A:
      buffer_.clear();
      current_.clear();
      break;
    case 0x0B:
      keyImmediate_ = arg(1) != 0;
      break;
    case 0x0E:
      state_.mode = arg(1);
      break;
    case 0x1B:
      buffer_.push_back(c.substr(1, 2));
      break;
    default:
      if (first >= 0x20) buffer_.push_back(c);
      break;
  }
  state_.mostBuffered = std::max(state_.mostBuffered, buffer_.size());
}

void WinKeyerEmulator::Keying(int64_t now) {
  if (!state_.hostOpen || silent_ || unplugged_) return;
  using F = Options::Fault;
  if (!current_.empty() && now >= currentEnd_) {
    state_.sent += current_;
    if (state_.mode & 0x04)
      for (char letter : current_) Reply(static_cast<unsigned char>(letter));
    if (options_.fault == F::Garbage) Reply('#');
    if (options_.fault == F::Flips) Reply(0xC0);  // idle, though it is not
    current_.clear();
  }
  const bool held = options_.fault == F::Xoff || options_.fault == F::Stall;
  if (current_.empty() && !buffer_.empty() && !keyImmediate_ && !breakIn_ && !held) {
    current_ = buffer_.front();
    buffer_.pop_front();
    currentEnd_ = now + Units(current_) * 1200 / std::max(state_.speed, 1);
    if (options_.fault == F::BreakIn && !std::exchange(brokeOnce_, true)) Reply(0xC6);
  }
  if (options_.fault == F::Stall && !buffer_.empty() && now - statusMs_ >= 100) {
    statusMs_ = now;
    Reply(0xC4);  // busy, and says so, and sends nothing
  }
  if (breakIn_ && now >= breakInEnd_) breakIn_ = false;
  SendStatus();
}

void WinKeyerEmulator::SendStatus() {
  size_t bytes = 0;
  for (const std::string& b : buffer_) bytes += b.size() == 2 ? 3 : 1;
  const bool xoff = bytes * 3 >= options_.capacity * 2 ||
                    (options_.fault == Options::Fault::Xoff && !buffer_.empty());
  const bool busy = !buffer_.empty() || !current_.empty();
  const auto status =
      static_cast<unsigned char>(0xC0 | (xoff ? 1 : 0) | (breakIn_ ? 2 : 0) | (busy ? 4 : 0));
  if (status == lastStatus_) return;
  if (xoff && !(lastStatus_ & 0x01)) xoffSince_ = Ms();
  lastStatus_ = status;
  Reply(status);
}

}  // namespace orvex::test
