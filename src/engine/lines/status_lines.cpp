#include "engine/lines/status_lines.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <mutex>

#include "base/clock.h"
#include "engine/lines/key_line.h"
#include "engine/system/engine_clock.h"
#include "engine/system/realtime.h"

namespace orvex::engine {
namespace {

// TIOCMIWAIT has no timeout: closing is told to the waiting thread by a
// signal whose handler does nothing, so the wait ends with EINTR. SIGURG
// is ignored by default and ends nothing else.
constexpr int kStopSignal = SIGURG;
void Nothing(int) {}

// The four status lines in four bits, for a word that holds the time too.
constexpr int kLines[] = {TIOCM_CTS, TIOCM_DSR, TIOCM_CAR, TIOCM_RNG};
uint64_t Packed(int bits) {
  uint64_t packed = 0;
  for (int i = 0; i < 4; ++i)
    if (bits & kLines[i]) packed |= 1U << i;
  return packed;
}
int Unpacked(uint64_t packed) {
  int bits = 0;
  for (int i = 0; i < 4; ++i)
    if (packed & (1U << i)) bits |= kLines[i];
  return bits;
}

void InstallStopSignal() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_handler = Nothing;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: the wait must end
    sigaction(kStopSignal, &action, nullptr);
  });
}

}  // namespace

int StatusLineBit(const std::string& name) {
  return name == "CTS"   ? TIOCM_CTS
         : name == "DSR" ? TIOCM_DSR
         : name == "DCD" ? TIOCM_CAR
         : name == "RI"  ? TIOCM_RNG
                         : 0;
}

StatusLines::StatusLines(int fd, int mask, std::atomic<uint32_t>* wake)
    : fd_(fd), mask_(mask), wake_(wake) {}

Result StatusLines::Watch(int fd, int mask, std::atomic<uint32_t>* wake,
                          std::unique_ptr<StatusLines>* watching) {
  int bits = 0;
  if (SystemIoctl(fd, TIOCMGET, &bits) != 0) {
    const int err = errno;
    ::close(fd);
    return Result::Failed(Fault::Open, err, "its status lines cannot be read");
  }
  InstallStopSignal();
  std::unique_ptr<StatusLines> lines(new StatusLines(fd, mask, wake));
  lines->Store(bits & mask, MonotonicNs());
  StatusLines* self = lines.get();
  self->running_ = true;
  self->thread_ = std::thread([self] { self->Run(); });
  *watching = std::move(lines);
  return {};
}

Result StatusLines::Open(const std::string& device, int mask, std::atomic<uint32_t>* wake,
                         std::unique_ptr<StatusLines>* watching) {
  if (Result fits = CheckPortDevice(device, PortKind::Serial); !fits.ok()) return fits;
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Result::FromErrno(Fault::Open, errno);
  // The contacts' supply: most drivers raise both on open, not all.
  int supply = TIOCM_DTR | TIOCM_RTS;
  (void)SystemIoctl(fd, TIOCMBIS, &supply);
  return Watch(fd, mask, wake, watching);
}

StatusLines::~StatusLines() {
  stop_ = true;
  // A signal that lands before the thread enters its wait is lost: sent
  // again until the thread has gone.
  while (running_.load()) {
    pthread_kill(thread_.native_handle(), kStopSignal);
    const timespec ms{0, 1'000'000};
    nanosleep(&ms, nullptr);
  }
  thread_.join();
  ::close(fd_);
}

void StatusLines::Store(int bits, int64_t atNs) {
  last_.store(static_cast<uint64_t>(atNs) << 4 | Packed(bits), std::memory_order_release);
  wake_->fetch_add(1);
  WakeAll(*wake_);
}

StatusLines::Reading StatusLines::Last() const {
  const uint64_t word = last_.load(std::memory_order_acquire);
  return {Unpacked(word & 0xF) & mask_, static_cast<int64_t>(word >> 4)};
}

int StatusLines::ReadNow() {
  int bits = 0;
  if (SystemIoctl(fd_, TIOCMGET, &bits) != 0) return -1;
  bits &= mask_;
  if (bits != Last().bits) Store(bits, MonotonicNs());
  return bits;
}

void StatusLines::Run() {
  pthread_setname_np(pthread_self(), "orvex-paddle");
  (void)MakeThisThreadRealtime();
  int64_t nextPoll = MonotonicNs();
  while (!stop_) {
    if (!polling_) {
      if (SystemIoctl(fd_, TIOCMIWAIT, reinterpret_cast<void*>(static_cast<uintptr_t>(mask_))) !=
          0) {
        if (errno == EINTR) continue;
        if (errno == EINVAL || errno == ENOTTY || errno == ENOSYS || errno == ENOTSUP) {
          polling_ = true;  // the driver cannot wait: read every millisecond
          nextPoll = MonotonicNs();
          continue;
        }
        error_ = errno;
        break;
      }
    } else {
      nextPoll += 1'000'000;
      const timespec at{static_cast<time_t>(nextPoll / 1'000'000'000),
                        static_cast<long>(nextPoll % 1'000'000'000)};
      if (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) != 0) continue;
    }
    int bits = 0;
    if (SystemIoctl(fd_, TIOCMGET, &bits) != 0) {
      error_ = errno;
      break;
    }
    bits &= mask_;
    if (bits != Last().bits) Store(bits, MonotonicNs());
  }
  if (error_ != 0) {
    // Lines that can no longer be read are let go: a key held down when its
    // adapter was pulled out must not keep the transmitter keyed.
    Store(0, MonotonicNs());
    wake_->fetch_add(1);
    WakeAll(*wake_);
  }
  running_ = false;
}

}  // namespace orvex::engine
