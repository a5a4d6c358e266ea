#include "engine/system/emergency.h"

#include <linux/futex.h>
#include <linux/input.h>
#include <linux/ppdev.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <vector>

#include "engine/system/guard.h"

namespace orvex::engine::emergency {
namespace {

constexpr int kSlots = 8;
std::atomic<int> g_fd[kSlots] = {-1, -1, -1, -1, -1, -1, -1, -1};
std::atomic<int> g_kind[kSlots];
std::atomic<int> g_control[kSlots];

std::atomic<bool> g_dead{false};  // a fatal signal's handler has begun
std::atomic<int> g_switching{0};  // line switches past their check
std::atomic<uint32_t> g_stops{0};
std::atomic<uint32_t> g_stopsHandled{0};
std::atomic<std::atomic<uint32_t>*> g_wake[kSlots] = {};

// Raises, then lets a switch that saw the way still clear, and may be in
// its ioctl now, finish, and raises again. Bounded: this may be the very
// thread that was interrupted inside one.
void RaiseAndSettle() noexcept {
  RaiseAll();
  for (int i = 0; i < 2000 && g_switching.load() != 0; ++i) {
    timespec pause{0, 10'000};
    ::nanosleep(&pause, nullptr);
  }
  RaiseAll();
}

void OnSignal(int sig) {
  g_dead.store(true);
  RaiseAndSettle();
  // SA_RESETHAND has restored the default action; re-raising delivers it
  // as soon as this handler returns.
  ::raise(sig);
}

void OnStop(int) {
  const int saved = errno;
  g_stops.fetch_add(1);
  RaiseAndSettle();
  for (auto& slot : g_wake)
    if (std::atomic<uint32_t>* word = slot.load()) {
      word->fetch_add(1);
      ::syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAKE | FUTEX_PRIVATE_FLAG,
                INT32_MAX, nullptr, nullptr, 0);
    }
  // Stopped here, lines up; SIGCONT goes on from here, and the engines
  // drop what they had queued before anything is keyed again.
  ::kill(::getpid(), SIGSTOP);
  errno = saved;
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

Registration Register(int fd, Kind kind, unsigned char upControl, const std::string& rig) {
  Registration r;
  for (int i = 0; fd >= 0 && i < kSlots; ++i) {
    // Reserve the slot (-2) before filling it, so RaiseAll never sees a
    // descriptor with another port's kind.
    int expected = -1;
    if (!g_fd[i].compare_exchange_strong(expected, -2)) continue;
    g_kind[i].store(static_cast<int>(kind));
    g_control[i].store(upControl);
    g_fd[i].store(fd);
    r.slot = i;
    break;
  }
  // The guard reaches the radio by a connection of its own.
  const bool rigctld = kind == Kind::Rig;
  r.guardId = guard::Watch(static_cast<guard::Device>(kind), rigctld ? -1 : fd, upControl, rig);
  return r;
}

void Unregister(Registration& r) {
  if (r.slot >= 0) g_fd[r.slot].store(-1);
  guard::Release(r.guardId);
  r = {};
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
      case Kind::WinKeyer: {
        // Clear buffer, key immediate off, PTT off; each a whole command.
        static constexpr char kUp[] = {0x0A, 0x0B, 0x00, 0x18, 0x00};
        static constexpr char kClose[] = {0x00, 0x03};
        [[maybe_unused]] ssize_t n = ::write(fd, kUp, sizeof kUp);
        if (g_dead.load()) n = ::write(fd, kClose, sizeof kClose);
        break;
      }
      case Kind::Rig: {
        static constexpr char kStop[] = "\\stop_morse\n", kPttOff[] = "T 0\n";
        [[maybe_unused]] ssize_t n = ::write(fd, kStop, sizeof kStop - 1);
        if (g_control[i].load() != 0) n = ::write(fd, kPttOff, sizeof kPttOff - 1);
        break;
      }
      case Kind::FarKeyer: {
        for (const char* request : {"\x1b"
                                    "4",
                                    "\x1b"
                                    "a0"})
          ::send(fd, request, request[1] == '4' ? 2 : 3, MSG_NOSIGNAL | MSG_DONTWAIT);
        break;
      }
    }
  }
}

void RaiseForGood() noexcept {
  g_dead.store(true);
  RaiseAndSettle();
}

uint32_t Stops() noexcept {
  return g_stops.load();
}

void StopHandled(uint32_t stops) noexcept {
  g_stopsHandled.store(stops);
}

void RegisterWake(std::atomic<uint32_t>* word) {
  for (auto& slot : g_wake) {
    std::atomic<uint32_t>* expected = nullptr;
    if (slot.compare_exchange_strong(expected, word)) return;
  }
}

void UnregisterWake(std::atomic<uint32_t>* word) {
  for (auto& slot : g_wake) {
    std::atomic<uint32_t>* expected = word;
    if (slot.compare_exchange_strong(expected, nullptr)) return;
  }
}

LineChange::LineChange() noexcept {
  g_switching.fetch_add(1);
  allowed_ = !g_dead.load() && g_stops.load() == g_stopsHandled.load();
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
    auto install = [](int sig, void (*handler)(int), int flags) {
      struct sigaction old {};
      if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) return;
      struct sigaction sa {};
      sa.sa_handler = handler;
      sigemptyset(&sa.sa_mask);
      sa.sa_flags = flags;
      ::sigaction(sig, &sa, nullptr);
    };
    for (int sig : FatalSignals()) install(sig, OnSignal, SA_RESETHAND);
    for (int sig : {SIGTSTP, SIGTTIN, SIGTTOU}) install(sig, OnStop, SA_RESTART);
    std::atexit([] { RaiseAll(); });
  });
}

}  // namespace orvex::engine::emergency
