// failsafe [RUNS]: from SIGKILL of orvex-send (and from a cut CAT link) to
// the device safe, per way of keying, RUNS times each (10 by default):
//   line      a pseudo-terminal's modem lines (the test shim's state file)
//   WinKeyer  the test emulator: host close received after clear and key up
//   rigctld   Hamlib's dummy radio behind rigctld, PTT read on a connection
//             of our own every 0.2 ms
//   far       a far orvex-keyd's key log: its key up and PTT off
//   cut       the CAT connection cut mid-message by a relay here, rigctld
//             still up: PTT off at rigctld
// Each run keys a long message at 20 WPM and is killed (or cut) 1 to 1.5 s
// in. Prints the median and the worst per path.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "base/clock.h"
#include "bench_process.h"
#include "support/files.h"
#include "support/winkeyer_emulator.h"

namespace {

using namespace std::chrono_literals;
using bench::Spawn;
const std::string kText = "PARIS PARIS PARIS PARIS PARIS PARIS PARIS PARIS";

int64_t NowUs() {
  return orvex::MonotonicNs() / 1000;
}

std::string Read(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
}

// Polls until holds() or 3 s; the time it first held, in us, or -1.
template <typename F>
int64_t Until(F holds, std::chrono::microseconds step = 200us) {
  for (const int64_t end = NowUs() + 3'000'000; NowUs() < end; std::this_thread::sleep_for(step))
    if (const int64_t at = holds(); at > 0) return at;
  return -1;
}

// The last change in a log of "<us> WHAT" lines after since, once the log
// says safe (the line holding safe is the last one).
int64_t LastAfter(const std::string& log, int64_t since, const std::string& safe) {
  std::istringstream in(Read(log));
  int64_t at = -1, us = 0;
  std::string line, last;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    fields >> us;
    if (us >= since) at = us, last = line;
  }
  return at > 0 && last.find(safe) != std::string::npos ? at : -1;
}

// A connection of our own to rigctld, asking for PTT.
struct Rigctld {
  explicit Rigctld(int port) {
    pid = Spawn({"rigctld", "-m", "1", "-P", "RIG", "-T", "127.0.0.1", "-t", std::to_string(port)});
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<uint16_t>(port));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < 100; ++i, std::this_thread::sleep_for(50ms)) {
      fd = socket(AF_INET, SOCK_STREAM, 0);
      if (connect(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0) return;
      close(fd);
      fd = -1;
    }
  }
  ~Rigctld() {
    close(fd);
    bench::Stop(pid);
  }
  bool Ptt() const {
    [[maybe_unused]] ssize_t n = write(fd, "t\n", 2);
    char answer[32] = {};
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 1000) == 1 && read(fd, answer, sizeof answer) > 0 && answer[0] == '1';
  }
  pid_t pid = -1;
  int fd = -1;
};

// A TCP relay in this process, whose connection can be cut.
struct Relay {
  Relay(int listenPort, int toPort) {
    listener = socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    at.sin_port = htons(static_cast<uint16_t>(listenPort));
    bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at);
    listen(listener, 4);
    thread = std::thread([this, at, toPort]() mutable {
      for (int a; (a = accept(listener, nullptr, nullptr)) >= 0;) {
        const int b = socket(AF_INET, SOCK_STREAM, 0);
        at.sin_port = htons(static_cast<uint16_t>(toPort));
        connect(b, reinterpret_cast<sockaddr*>(&at), sizeof at);
        client = a, server = b;
        pollfd p[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
        char buf[4096];
        for (bool open = true; open && poll(p, 2, -1) > 0;)
          for (int i = 0; i < 2 && open; ++i)
            if (p[i].revents) {
              const ssize_t n = read(p[i].fd, buf, sizeof buf);
              open = n > 0 && write(p[1 - i].fd, buf, static_cast<size_t>(n)) == n;
            }
        close(a);
        close(b);
      }
    });
  }
  void Cut() {
    shutdown(client, SHUT_RDWR);
    shutdown(server, SHUT_RDWR);
  }
  ~Relay() {
    shutdown(listener, SHUT_RDWR);
    close(listener);
    thread.join();
  }
  int listener;
  std::atomic<int> client{-1}, server{-1};
  std::thread thread;
};

struct Path {
  const char* name;
  std::vector<double> ms;
};

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 10;
  char tmpl[] = "/tmp/orvex-failsafe-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  const std::string ini = dir + "/orvex.ini", shimState = dir + "/state";
  std::mt19937 random(7);
  auto killAfterWhile = [&](pid_t pid) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1000 + random() % 500));
    const int64_t at = NowUs();
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return at;
  };
  auto send = [&](const std::vector<std::string>& more, std::vector<std::string> env = {}) {
    std::vector<std::string> args{ORVEX_SEND_BINARY, "--ini", ini, "--text", kText};
    args.insert(args.end(), more.begin(), more.end());
    env.push_back("ORVEX_AUDIO=none");
    return Spawn(args, env);
  };
  std::vector<Path> paths{
      {"line", {}}, {"WinKeyer", {}}, {"rigctld PTT", {}}, {"far keyer", {}}, {"cut CAT link", {}}};

  pid_t socat = -1;
  const std::string tty = bench::Pty(dir, &socat);
  const std::vector<std::string> shim{"ORVEX_COM1=" + tty, "LD_PRELOAD=" MODEM_SHIM,
                                      "ORVEX_SHIM_STATE=" + shimState};
  const int rigPort = orvex::test::FreePort(SOCK_STREAM);
  Rigctld rig(rigPort);
  Relay relay(rigPort + 1, rigPort);
  const int farPort = orvex::test::FreePort(SOCK_DGRAM);
  const std::string farLog = dir + "/far/lines.log";
  std::filesystem::create_directory(dir + "/far");
  pid_t farSocat = -1;
  const std::string farTty = bench::Pty(dir + "/far", &farSocat);
  Write(dir + "/keyd.ini", "CWSidetone_Enable=0\r\nCWSpeed=20\r\n");
  const pid_t keyd = Spawn({ORVEX_KEYD_BINARY, "--ini", dir + "/keyd.ini", "--port", "COM1",
                            "--listen", "127.0.0.1:" + std::to_string(farPort)},
                           {"ORVEX_COM1=" + farTty, "LD_PRELOAD=" MODEM_SHIM,
                            "ORVEX_SHIM_LOG=" + farLog, "ORVEX_AUDIO=none"});
  std::this_thread::sleep_for(500ms);

  for (int run = 0; run < runs; ++run) {
    Write(ini, "CWSidetone_Enable=0\r\nCWSpeed=20\r\n");
    int64_t at = killAfterWhile(send({"--port", "COM1"}, shim));
    paths[0].ms.push_back(
        (Until([&] { return Read(shimState) == "DTR=0 RTS=0\n" ? NowUs() : 0; }) - at) / 1e3);

    orvex::test::WinKeyerEmulator winKeyer;
    Write(ini, "CWKeyer=WinKeyer\r\nCWSpeed=20\r\nCWPort=" + winKeyer.Device() + "\r\n");
    at = killAfterWhile(send({"--port", winKeyer.Device()}));
    orvex::test::WinKeyerEmulator::Command closed;
    paths[1].ms.push_back(
        (Until([&] { return winKeyer.Got(std::string("\x00\x03", 2), &closed) ? closed.us : 0; }) -
         at) /
        1e3);

    for (int cut = 0; cut < 2; ++cut) {
      Write(ini, "CWKeyer=Rig\r\nCWPttLine=Rig\r\nCWSpeed=20\r\nRigPort=127.0.0.1:" +
                     std::to_string(rigPort + cut) + "\r\n");
      const pid_t pid = send({"--port", "None"});
      Until([&] { return rig.Ptt() ? NowUs() : 0; }, 5ms);
      if (cut) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500 + random() % 500));
        at = NowUs();
        relay.Cut();
      } else {
        at = killAfterWhile(pid);
      }
      paths[2 + 2 * cut].ms.push_back((Until([&] { return rig.Ptt() ? 0 : NowUs(); }) - at) / 1e3);
      if (cut) bench::Stop(pid);
    }

    Write(ini, "CWKeyer=Remote\r\nCWSpeed=20\r\nRemoteKeyer=127.0.0.1:" + std::to_string(farPort) +
                   "\r\n");
    at = killAfterWhile(send({"--port", "None"}));
    paths[3].ms.push_back((Until([&] { return LastAfter(farLog, at, "RTS 0"); }) - at) / 1e3);
    std::this_thread::sleep_for(300ms);
  }
  bench::Stop(keyd);
  bench::Stop(socat);
  bench::Stop(farSocat);
  std::printf("from SIGKILL (or the cut) to the device safe, %d runs each, ms:\n", runs);
  for (const Path& p : paths) {
    const bool missed = std::any_of(p.ms.begin(), p.ms.end(), [](double ms) { return ms < 0; });
    std::printf("  %-13s median %7.2f  worst %7.2f%s\n", p.name, bench::Pct(p.ms, 0.5),
                bench::Pct(p.ms, 1.0), missed ? "  (not safe within 3 s in some run)" : "");
  }
  std::filesystem::remove_all(dir);
}
