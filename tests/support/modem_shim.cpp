// A stand-in for a serial port's modem lines, loaded with LD_PRELOAD into a
// program under test: on a pseudo-terminal (which has no DTR or RTS of its
// own) it answers the modem-line ioctls, and tells what the lines did.
//   ORVEX_SHIM_LOG    a file that gets "<monotonic us> DTR 1" and the like
//                     for every change
//   ORVEX_SHIM_STATE  a file that always holds the lines' state now,
//                     "DTR=0 RTS=0", read after the program has ended
//   ORVEX_SHIM_FAIL   while a file of this name exists, switching a line
//                     fails with EIO, as a pulled USB adapter does
//   ORVEX_SHIM_PADDLE a timeline for the status lines, a paddle's hand:
//                     lines "MS LINES..." ("300 CTS", "420 CTS DSR", "600 -"),
//                     MS from the program's first read of the lines; TIOCMGET
//                     answers from it and TIOCMIWAIT waits for its next change
//                     (without it both CTS and DSR read as on)
//   ORVEX_SHIM_NO_WAIT TIOCMIWAIT fails with EINVAL, as some drivers' do
//   ORVEX_SHIM_READ_FAIL MS: from MS on the timeline, reading the status
//                     lines fails with EIO (the paddle's adapter pulled out)
// Everything here is async-signal-safe: a signal handler may switch lines.
#include <fcntl.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::atomic<int> g_bits{0};

// The paddle's timeline: read once, at the first read of the lines.
struct Change {
  long long ns;
  int bits;
};
Change g_timeline[1024];
int g_changes = -1;  // -1: not read yet
long long g_start = 0;

long long NowNs() {
  timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
}

char* Digits(char* out, unsigned long long v);

void ReadTimeline() {
  g_changes = 0;
  g_start = NowNs();
  // Where the timeline starts, for a benchmark that times the hand.
  if (const char* log = std::getenv("ORVEX_SHIM_LOG"); log && std::getenv("ORVEX_SHIM_PADDLE")) {
    const int out = ::open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    char line[64];
    char* p = Digits(line, static_cast<unsigned long long>(g_start / 1000));
    for (const char* c = " PADDLE start\n"; *c; ++c) *p++ = *c;
    if (out >= 0) [[maybe_unused]]
      ssize_t n = ::write(out, line, static_cast<size_t>(p - line));
    if (out >= 0) ::close(out);
  }
  const char* path = std::getenv("ORVEX_SHIM_PADDLE");
  const int fd = path ? ::open(path, O_RDONLY | O_CLOEXEC) : -1;
  if (fd < 0) return;
  static char text[65536];
  const ssize_t n = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  text[n > 0 ? n : 0] = 0;
  for (char* p = text; *p && g_changes < 1024;) {
    Change c{std::strtoll(p, &p, 10) * 1'000'000LL, 0};
    for (; *p && *p != '\n'; ++p) {
      if (!std::strncmp(p, "CTS", 3)) c.bits |= TIOCM_CTS;
      if (!std::strncmp(p, "DSR", 3)) c.bits |= TIOCM_DSR;
      if (!std::strncmp(p, "DCD", 3)) c.bits |= TIOCM_CAR;
      if (!std::strncmp(p, "RI", 2)) c.bits |= TIOCM_RNG;
    }
    if (*p) ++p;
    g_timeline[g_changes++] = c;
  }
}

// The timeline, read on first use; false when there is none.
bool Timeline() {
  static std::once_flag once;
  std::call_once(once, ReadTimeline);
  return g_changes > 0;
}

int LinesAt(long long ns) {
  int bits = 0;
  for (int i = 0; i < g_changes && g_timeline[i].ns <= ns - g_start; ++i) bits = g_timeline[i].bits;
  return bits;
}

// Waits for the next change of the lines in mask; EINTR when a signal
// comes first.
// When the status lines stop reading, on the monotonic clock; -1: never.
long long ReadsFailAt() {
  const char* ms = std::getenv("ORVEX_SHIM_READ_FAIL");
  return ms ? g_start + std::atoll(ms) * 1'000'000LL : -1;
}

int WaitForChange(int mask) {
  if (std::getenv("ORVEX_SHIM_NO_WAIT")) {
    errno = EINVAL;
    return -1;
  }
  const long long failAt = ReadsFailAt();
  const long long now = NowNs();
  const int bits = LinesAt(now) & mask;
  long long at = -1;
  for (int i = 0; i < g_changes && at < 0; ++i)
    if (g_timeline[i].ns > now - g_start && (LinesAt(g_start + g_timeline[i].ns) & mask) != bits)
      at = g_start + g_timeline[i].ns;
  for (;;) {
    long long until = at >= 0 ? at : NowNs() + 1'000'000'000LL;
    if (failAt >= 0 && failAt <= until) {
      at = -1;
      until = failAt;
    }
    const timespec ts{static_cast<time_t>(until / 1'000'000'000),
                      static_cast<long>(until % 1'000'000'000)};
    if (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
      errno = EINTR;
      return -1;
    }
    if (at >= 0) return 0;
    if (failAt >= 0 && NowNs() >= failAt) {
      errno = EIO;
      return -1;
    }
  }
}

bool IsPseudoTerminal(int fd) {
  struct stat st;
  return ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 &&
         major(st.st_rdev) <= 143;
}

// Writes n decimal digits of v into out.
char* Digits(char* out, unsigned long long v) {
  char tmp[24];
  int n = 0;
  do tmp[n++] = static_cast<char>('0' + v % 10);
  while ((v /= 10) != 0);
  while (n > 0) *out++ = tmp[--n];
  return out;
}

void Record(int before, int after) {
  if (const char* state = std::getenv("ORVEX_SHIM_STATE")) {
    // Written until what is written is still the state: another thread's
    // late write of an older state is overwritten.
    for (int now = g_bits.load(), again = -1; now != again; now = again) {
      char line[] = "DTR=0 RTS=0\n";
      line[4] = (now & TIOCM_DTR) ? '1' : '0';
      line[10] = (now & TIOCM_RTS) ? '1' : '0';
      const int fd = ::open(state, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
      if (fd >= 0) {
        [[maybe_unused]] ssize_t n = ::pwrite(fd, line, sizeof line - 1, 0);
        ::close(fd);
      }
      again = g_bits.load();
    }
  }
  const char* log = std::getenv("ORVEX_SHIM_LOG");
  if (!log) return;
  const int fd = ::open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  const unsigned long long us = ts.tv_sec * 1000000ULL + ts.tv_nsec / 1000;
  for (const auto& [bit, name] : {std::pair{TIOCM_DTR, "DTR "}, std::pair{TIOCM_RTS, "RTS "}}) {
    if ((before & bit) == (after & bit)) continue;
    char line[64];
    char* p = Digits(line, us);
    *p++ = ' ';
    for (const char* c = name; *c; ++c) *p++ = *c;
    *p++ = (after & bit) ? '1' : '0';
    *p++ = '\n';
    [[maybe_unused]] ssize_t n = ::write(fd, line, static_cast<size_t>(p - line));
  }
  ::close(fd);
}

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  const bool modem = request == TIOCMBIS || request == TIOCMBIC || request == TIOCMSET ||
                     request == TIOCMGET || request == TIOCMIWAIT;
  if (!modem || !IsPseudoTerminal(fd))
    return static_cast<int>(::syscall(SYS_ioctl, fd, request, arg));
  if (request == TIOCMGET && Timeline() && ReadsFailAt() >= 0 && NowNs() >= ReadsFailAt()) {
    errno = EIO;
    return -1;
  }
  if (request == TIOCMGET) {
    *static_cast<int*>(arg) =
        g_bits.load() | (Timeline() ? LinesAt(NowNs()) : TIOCM_CTS | TIOCM_DSR);
    return 0;
  }
  if (request == TIOCMIWAIT) {
    Timeline();
    return WaitForChange(static_cast<int>(reinterpret_cast<intptr_t>(arg)));
  }
  const char* fail = std::getenv("ORVEX_SHIM_FAIL");
  if (fail && ::access(fail, F_OK) == 0) {
    errno = EIO;
    return -1;
  }
  const int bits = *static_cast<int*>(arg) & (TIOCM_DTR | TIOCM_RTS);
  int before = g_bits.load(), after;
  do {
    after = request == TIOCMBIS ? (before | bits) : request == TIOCMBIC ? (before & ~bits) : bits;
  } while (!g_bits.compare_exchange_weak(before, after));
  // The state is written on every switch, changed or not: a process forked
  // before the lines moved (the program's guard) knows nothing of them, and
  // what it sets is the state all the same.
  Record(before, after);
  return 0;
}
