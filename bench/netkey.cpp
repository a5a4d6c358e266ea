// netkey: how fast a keyer answers a logger over UDP. Keys a
// pseudo-terminal whose modem lines the test shim records, through
// orvex-keyd and, when it is installed, Debian's cwdaemon beside it, at
// 60 WPM:
//   request to first key-down  "e" sent, its key-down on the line
//   abort to key-up            ESC 4 sent while a dash is down
//   reply after key-up         ESC h then "e": the reply against the key-up
// Medians and p99 over REQUESTS of each (200 by default).
//
//   netkey [REQUESTS]
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "base/clock.h"
#include "bench_process.h"

namespace {

using namespace std::chrono_literals;

struct Line {
  int64_t us;
  bool down;
};

std::vector<Line> Keying(const std::string& log) {
  std::ifstream in(log);
  std::vector<Line> out;
  long long us;
  std::string line, value;
  while (in >> us >> line >> value)
    if (line == "DTR") out.push_back({us, value == "1"});
  return out;
}

class Client {
 public:
  explicit Client(int port) : fd_(socket(AF_INET, SOCK_DGRAM, 0)) {
    to_.sin_family = AF_INET;
    to_.sin_port = htons(static_cast<uint16_t>(port));
    to_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  }
  ~Client() { close(fd_); }
  int64_t Send(const std::string& bytes) {
    const int64_t at = orvex::MonotonicNs() / 1000;
    sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to_), sizeof to_);
    return at;
  }
  int64_t Reply() {  // when a reply came; 0 when none within 2 s
    pollfd in{fd_, POLLIN, 0};
    if (poll(&in, 1, 2000) != 1) return 0;
    char buf[300];
    recv(fd_, buf, sizeof buf, 0);
    return orvex::MonotonicNs() / 1000;
  }

 private:
  int fd_;
  sockaddr_in to_{};
};

struct Figures {
  std::vector<double> keyDown, abort, reply;
};

Figures Measure(int port, const std::string& log, int n) {
  Client c(port);
  std::vector<int64_t> sent, aborts, replies;
  for (int i = 0; i < n; ++i) {
    sent.push_back(c.Send("e"));
    std::this_thread::sleep_for(150ms);
  }
  for (int i = 0; i < n; ++i) {
    c.Send("tttt");
    std::this_thread::sleep_for(30ms);  // inside the first dash (60 ms at 60 WPM)
    aborts.push_back(
        c.Send("\x1b"
               "4"));
    std::this_thread::sleep_for(120ms);
  }
  for (int i = 0; i < n; ++i) {
    c.Send("\x1bhx");
    c.Send("e");
    replies.push_back(c.Reply());
    std::this_thread::sleep_for(100ms);
  }
  std::this_thread::sleep_for(300ms);
  const std::vector<Line> lines = Keying(log);
  Figures f;
  auto after = [&](int64_t t, bool down) -> const Line* {
    for (const Line& l : lines)
      if (l.us >= t && l.down == down) return &l;
    return nullptr;
  };
  for (int64_t t : sent)
    if (const Line* l = after(t, true)) f.keyDown.push_back((l->us - t) / 1000.0);
  for (int64_t t : aborts)
    if (const Line* l = after(t, false)) f.abort.push_back((l->us - t) / 1000.0);
  for (int64_t r : replies) {
    if (r == 0) continue;
    const Line* last = nullptr;  // the last key-up before the reply
    for (const Line& l : lines)
      if (l.us <= r && !l.down) last = &l;
    if (last) f.reply.push_back((r - last->us) / 1000.0);
  }
  return f;
}

void Print(const char* who, const Figures& f) {
  std::printf(
      "%-10s first key-down %6.2f / %6.2f ms   abort %6.2f / %6.2f ms   reply %6.2f / %6.2f ms"
      "   (%zu, %zu, %zu)\n",
      who, bench::Pct(f.keyDown, 0.5), bench::Pct(f.keyDown, 0.99), bench::Pct(f.abort, 0.5),
      bench::Pct(f.abort, 0.99), bench::Pct(f.reply, 0.5), bench::Pct(f.reply, 0.99),
      f.keyDown.size(), f.abort.size(), f.reply.size());
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 200;
  char tmpl[] = "/tmp/netkey-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  chmod(dir.c_str(), 0777);
  std::printf("median / p99 over %d requests each, 60 WPM, a pseudo-terminal's DTR\n", n);

  pid_t socat;
  std::string tty = bench::Pty(dir, &socat);
  std::ofstream(dir + "/orvex.ini") << "CWSidetone_Enable=0\r\n";
  pid_t keyer = bench::Spawn({ORVEX_KEYD_BINARY, "--ini", dir + "/orvex.ini", "--port", "COM1",
                              "--wpm", "60", "--listen", "127.0.0.1:6790"},
                             {"ORVEX_COM1=" + tty, "LD_PRELOAD=" MODEM_SHIM,
                              "ORVEX_SHIM_LOG=" + dir + "/orvex.log", "ORVEX_AUDIO=none"},
                             true);
  std::this_thread::sleep_for(1s);
  Print("orvex-keyd", Measure(6790, dir + "/orvex.log", n));
  bench::Stop(keyer);
  bench::Stop(socat);

  if (std::system("command -v cwdaemon >/dev/null 2>&1") == 0) {
    tty = bench::Pty(dir, &socat);
    keyer = bench::Spawn(
        {"cwdaemon", "-n", "-d", tty.substr(5), "-x", "n", "-s", "60", "-p", "6791", "-y", "n"},
        {"LD_PRELOAD=" MODEM_SHIM, "ORVEX_SHIM_LOG=" + dir + "/cwdaemon.log"}, true);
    std::this_thread::sleep_for(1s);
    Print("cwdaemon", Measure(6791, dir + "/cwdaemon.log", n));
    bench::Stop(keyer);
    bench::Stop(socat);
  } else {
    std::printf("cwdaemon is not installed: no comparison\n");
  }
  std::system(("rm -rf " + dir).c_str());
  return 0;
}
