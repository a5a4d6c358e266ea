#include "engine/emergency.h"

#include <linux/input.h>
#include <linux/ppdev.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <vector>

namespace orvex::engine::emergency {
namespace {

constexpr int kSlots = 8;
std::atomic<int> g_fd[kSlots] = {-1, -1, -1, -1, -1, -1, -1, -1};
std::atomic<int> g_kind[kSlots];
std::atomic<int> g_control[kSlots];

std::atomic<bool> g_dead{false};  // a fatal signal's handler has begun
std::atomic<int> g_switching{0};  // line switches past their check

void OnSignal(int sig) {
  g_dead.store(true);
  RaiseAll();
  // A switch that saw the flag still clear may be in its ioctl now: let it
  // finish, then raise again. Bounded: this may be the very thread that
  // was interrupted inside one (it never resumes; the signal ends it).
  for (int i = 0; i < 2000 && g_switching.load() != 0; ++i) {
    timespec pause{0, 10'000};
    ::nanosleep(&pause, nullptr);
  }
  RaiseAll();
  // SA_RESETHAND has restored the default action; re-raising delivers it
  // as soon as this handler returns.
  ::raise(sig);
}

// Every signal whose default action ends the process.
std::vector<int> FatalSignals() {
  std::vector<int> out{SIGINT,    SIGTERM, SIGHUP,  SIGQUIT, SIGSEGV,   SIGBUS,  SIGFPE,
                       SIGILL,    SIGABRT, SIGUSR1, SIGUSR2, SIGALRM,   SIGXCPU, SIGXFSZ,
                       SIGVTALRM, SIGPROF, SIGTRAP, SIGSYS,  SIGSTKFLT, SIGPWR,  SIGIO};
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) out.push_back(sig);
  return out;
}

}  // namespace

void Register(int fd, Kind kind, unsigned char upControl) {
  for (int i = 0; i < kSlots; ++i) {
    // Reserve the slot (-2) before filling it, so RaiseAll never sees a
    // descriptor with another port's kind.
    int expected = -1;
    if (!g_fd[i].compare_exchange_strong(expected, -2)) continue;
    g_kind[i].store(static_cast<int>(kind));
    g_control[i].store(upControl);
    g_fd[i].store(fd);
    return;
  }
}

void Unregister(int fd) {
  for (int i = 0; i < kSlots; ++i) {
    int expected = fd;
    if (g_fd[i].compare_exchange_strong(expected, -1)) return;
  }
}

void RaiseAll() noexcept {
  for (int i = 0; i < kSlots; ++i) {
    const int fd = g_fd[i].load();
    if (fd < 0) continue;
    switch (static_cast<Kind>(g_kind[i].load())) {
      case Kind::Serial: {
        int bits = TIOCM_DTR | TIOCM_RTS;
        ::ioctl(fd, TIOCMBIC, &bits);
        break;
      }
      case Kind::Parallel: {
        unsigned char control = static_cast<unsigned char>(g_control[i].load());
        ::ioctl(fd, PPWCONTROL, &control);
        break;
      }
      case Kind::Speaker: {
        input_event ev{};
        ev.type = EV_SND;
        ev.code = SND_TONE;
        ev.value = 0;
        [[maybe_unused]] ssize_t n = ::write(fd, &ev, sizeof ev);
        break;
      }
    }
  }
}

LineChange::LineChange() noexcept {
  g_switching.fetch_add(1);
  allowed_ = !g_dead.load();
}

LineChange::~LineChange() {
  g_switching.fetch_sub(1);
}

void InstallHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction pipe {};
    if (::sigaction(SIGPIPE, nullptr, &pipe) == 0 && pipe.sa_handler == SIG_DFL)
      ::signal(SIGPIPE, SIG_IGN);
    for (int sig : FatalSignals()) {
      struct sigaction old {};
      if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
      struct sigaction sa {};
      sa.sa_handler = OnSignal;
      sigemptyset(&sa.sa_mask);
      sa.sa_flags = SA_RESETHAND;
      ::sigaction(sig, &sa, nullptr);
    }
    std::atexit([] { RaiseAll(); });
  });
}

}  // namespace orvex::engine::emergency
