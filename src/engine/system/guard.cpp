#include "engine/system/guard.h"

#include <fcntl.h>
#include <hamlib/rig.h>
#include <linux/input.h>
#include <linux/ppdev.h>
#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <sstream>
#include <vector>

namespace orvex::engine::guard {
namespace {

enum Op : uint32_t { kWatch = 1, kRelease = 2 };

struct Message {
  uint32_t op;
  uint32_t id;
  unsigned char device;
  unsigned char upControl;
  char detail[256];
};

int g_socket = -1;  // the program's end
std::mutex g_mu;    // one message (and its answer) at a time
uint32_t g_nextId = 1;

struct Watched {
  uint32_t id;
  Device device;
  int fd;
  unsigned char upControl;
  std::string detail;
};

void Pause(int ms) {
  timespec t{ms / 1000, (ms % 1000) * 1'000'000L};
  while (::nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}

void WriteAll(int fd, const char* bytes, size_t n) {
  [[maybe_unused]] ssize_t written = ::write(fd, bytes, n);
}

}  // namespace

void RigctldSafe(const std::string& where, bool ptt) {
  const size_t colon = where.rfind(':');
  std::string host = colon == std::string::npos ? where : where.substr(0, colon);
  const std::string port = colon == std::string::npos ? "4532" : where.substr(colon + 1);
  if (host.size() > 1 && host.front() == '[') host = host.substr(1, host.size() - 2);
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  // A few tries: a rigctld busy with another client answers a moment later.
  for (int attempt = 0; attempt < 3; ++attempt) {
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return;
    for (addrinfo* a = found; a; a = a->ai_next) {
      const int fd = ::socket(a->ai_family, SOCK_STREAM | SOCK_NONBLOCK, 0);
      if (fd < 0) continue;
      bool connected = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
      if (!connected && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        int err = 0;
        socklen_t len = sizeof err;
        connected = ::poll(&p, 1, 1000) == 1 &&
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
      }
      if (connected) {
        const std::string says = std::string("\\stop_morse\n") + (ptt ? "T 0\n" : "");
        WriteAll(fd, says.data(), says.size());
        // Its answers: every command done before the connection closes.
        char answer[256];
        for (int got = 0, lines = 0; lines < (ptt ? 2 : 1);) {
          pollfd p{fd, POLLIN, 0};
          if (::poll(&p, 1, 1000) != 1 ||
              (got = static_cast<int>(::read(fd, answer, sizeof answer))) <= 0)
            break;
          lines += static_cast<int>(std::count(answer, answer + got, '\n'));
        }
        ::close(fd);
        ::freeaddrinfo(found);
        return;
      }
      ::close(fd);
    }
    ::freeaddrinfo(found);
    Pause(300);
  }
}

namespace {

// A radio Hamlib opens itself: now that the program is gone its port is
// free for the guard to open.
void HamlibSafe(int model, const std::string& port, int baud, bool ptt) {
  rig_set_debug(RIG_DEBUG_NONE);
  rig_load_all_backends();
  if (!rig_get_caps(static_cast<rig_model_t>(model))) return;  // rig_init would end the guard
  RIG* rig = rig_init(static_cast<rig_model_t>(model));
  if (!rig) return;
  auto conf = [rig](const char* key, const std::string& value) {
    rig_set_conf(rig, rig_token_lookup(rig, key), value.c_str());
  };
  conf("rig_pathname", port);
  conf("timeout", "1000");
  if (baud > 0) conf("serial_speed", std::to_string(baud));
  if (rig_open(rig) == RIG_OK) {
    rig_stop_morse(rig, RIG_VFO_CURR);
    if (ptt) rig_set_ptt(rig, RIG_VFO_CURR, RIG_PTT_OFF);
    rig_close(rig);
  }
  rig_cleanup(rig);
}

void MakeSafe(const Watched& w) {
  switch (w.device) {
    case Device::Serial: {
      int bits = TIOCM_DTR | TIOCM_RTS;
      ::ioctl(w.fd, TIOCMBIC, &bits);
      break;
    }
    case Device::Parallel: {
      unsigned char control = w.upControl;
      ::ioctl(w.fd, PPWCONTROL, &control);
      break;
    }
    case Device::Speaker: {
      input_event ev{};
      ev.type = EV_SND;
      ev.code = SND_TONE;
      WriteAll(w.fd, reinterpret_cast<const char*>(&ev), sizeof ev);
      break;
    }
    case Device::WinKeyer: {
      // Clear buffer, key immediate off, PTT off, then host close.
      static constexpr char kSafe[] = {0x0A, 0x0B, 0x00, 0x18, 0x00, 0x00, 0x03};
      WriteAll(w.fd, kSafe, sizeof kSafe);
      ::tcdrain(w.fd);
      break;
    }
    case Device::FarKeyer: {
      // Abort, then PTT off; twice more within a few ms, since a datagram
      // may be lost (and its silence limit ends the rest at the far end).
      for (int round = 0; round < 3; ++round) {
        for (const char* request : {"\x1b"
                                    "4",
                                    "\x1b"
                                    "a0"})
          ::send(w.fd, request, std::strlen(request), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (round < 2) Pause(5);
      }
      break;
    }
    case Device::Rig: {
      std::istringstream in(w.detail);
      int model = 0, baud = 0, ptt = 0;
      std::string port;
      in >> model >> baud >> ptt >> std::ws;
      std::getline(in, port);
      if (model == 2)
        RigctldSafe(port, ptt != 0);
      else if (model > 0)
        HamlibSafe(model, port, baud, ptt != 0);
      break;
    }
  }
}

[[noreturn]] void RunGuard(int socket) {
  ::prctl(PR_SET_NAME, "orvex-guard");
  // Whatever reaches the program's process group (Ctrl+C, Ctrl+Z, a hang-up)
  // is for the program: the guard stays to clean up after it.
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU, SIGPIPE, SIGUSR1,
                  SIGUSR2, SIGALRM})
    ::signal(sig, SIG_IGN);
  // Nothing of the program's output stays open here: a reader waiting for
  // its end is not kept waiting by the guard.
  if (const int null = ::open("/dev/null", O_RDWR); null >= 0) {
    for (int fd : {0, 1, 2}) ::dup2(null, fd);
    if (null > 2) ::close(null);
  }
  std::vector<Watched> watched;
  for (;;) {
    Message m{};
    char control[CMSG_SPACE(sizeof(int))] = {};
    iovec io{&m, sizeof m};
    msghdr h{};
    h.msg_iov = &io;
    h.msg_iovlen = 1;
    h.msg_control = control;
    h.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(socket, &h, MSG_CMSG_CLOEXEC);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the program is gone
    int fd = -1;
    for (cmsghdr* c = CMSG_FIRSTHDR(&h); c; c = CMSG_NXTHDR(&h, c))
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS)
        std::memcpy(&fd, CMSG_DATA(c), sizeof fd);
    if (m.op == kWatch) {
      m.detail[sizeof m.detail - 1] = 0;
      watched.push_back({m.id, static_cast<Device>(m.device), fd, m.upControl, m.detail});
    } else if (m.op == kRelease) {
      std::erase_if(watched, [&](const Watched& w) {
        if (w.id != m.id) return false;
        if (w.fd >= 0) ::close(w.fd);
        return true;
      });
      const char done = 1;
      [[maybe_unused]] ssize_t sent = ::send(socket, &done, 1, MSG_NOSIGNAL);
    }
  }
  // The quick ones first: lines and keyers on this computer, the far keyer;
  // then the radio, whose connection may take a moment.
  for (const Watched& w : watched)
    if (w.device != Device::Rig) MakeSafe(w);
  for (const Watched& w : watched)
    if (w.device == Device::Rig) MakeSafe(w);
  ::_exit(0);
}

bool Send(const Message& m, int fd) {
  iovec io{const_cast<Message*>(&m), sizeof m};
  msghdr h{};
  h.msg_iov = &io;
  h.msg_iovlen = 1;
  char control[CMSG_SPACE(sizeof(int))] = {};
  if (fd >= 0) {
    h.msg_control = control;
    h.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&h);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(c), &fd, sizeof fd);
  }
  return ::sendmsg(g_socket, &h, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof m);
}

}  // namespace

bool Start() {
  std::lock_guard lock(g_mu);
  if (g_socket >= 0) return true;
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return false;
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(pair[0]);
    ::close(pair[1]);
    return false;
  }
  if (pid == 0) {
    ::close(pair[0]);
    RunGuard(pair[1]);
  }
  ::close(pair[1]);
  g_socket = pair[0];
  return true;
}

bool Running() {
  std::lock_guard lock(g_mu);
  return g_socket >= 0;
}

int Watch(Device device, int fd, unsigned char upControl, const std::string& detail) {
  std::lock_guard lock(g_mu);
  if (g_socket < 0) return 0;
  Message m{};
  m.op = kWatch;
  m.id = g_nextId++;
  m.device = static_cast<unsigned char>(device);
  m.upControl = upControl;
  std::strncpy(m.detail, detail.c_str(), sizeof m.detail - 1);
  return Send(m, fd) ? static_cast<int>(m.id) : 0;
}

void Release(int id) {
  if (id <= 0) return;
  std::lock_guard lock(g_mu);
  if (g_socket < 0) return;
  Message m{};
  m.op = kRelease;
  m.id = static_cast<uint32_t>(id);
  if (!Send(m, -1)) return;
  // Its answer: the guard has closed its copy of the device.
  pollfd p{g_socket, POLLIN, 0};
  char done = 0;
  if (::poll(&p, 1, 1000) == 1) [[maybe_unused]]
    ssize_t got = ::recv(g_socket, &done, 1, 0);
}

std::string RigDetail(int model, const std::string& port, int baud, bool ownsPtt) {
  return std::to_string(model) + " " + std::to_string(baud) + " " + (ownsPtt ? "1" : "0") + " " +
         port;
}

}  // namespace orvex::engine::guard
