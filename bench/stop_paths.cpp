// stop_paths: how fast Esc's stop reaches the transmitter on each way of
// keying, through the real send path at 60 WPM:
//   line    the port's own key line (in the process): Esc to key-up;
//   rig     the radio's keyer through a real rigctld with Hamlib's dummy
//           radio, PTT by CAT: Esc to the stop and to the PTT-off command
//           arriving at rigctld (its debug log's stamps), and whether any
//           text followed the stop;
//   remote  a real orvex-keyd keying a pseudo-terminal's DTR (the modem
//           shim records it), reached over UDP: Esc while its key is down
//           to its key-up.
//
//   stop_paths [RUNS]     (default 100)
#include <arpa/inet.h>
#include <sys/socket.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "bench_process.h"
#include "send_rig.h"
#include "support/files.h"

using namespace orvex;
using namespace std::chrono_literals;

namespace {

int64_t NowUs() {
  return MonotonicNs() / 1000;
}

// When rigctld's debug log (-Z: wall-clock stamps) shows each command.
std::vector<std::pair<int64_t, std::string>> RigctldCommands(const std::string& log) {
  std::vector<std::pair<int64_t, std::string>> out;
  std::ifstream in(log);
  for (std::string line; std::getline(in, line);) {
    const size_t at = line.find(": ", 26);  // after the stamp's zone
    std::tm tm{};
    if (at == std::string::npos || !strptime(line.c_str(), "%Y-%m-%dT%H:%M:%S", &tm)) continue;
    const int64_t us = int64_t{timegm(&tm)} * 1'000'000 + std::atol(line.c_str() + 20);
    out.push_back({us, line.substr(at + 2)});
  }
  return out;
}

int64_t WallUs() {
  timespec t;
  clock_gettime(CLOCK_REALTIME, &t);
  return int64_t{t.tv_sec} * 1'000'000 + t.tv_nsec / 1000;
}

struct Path : bench::SendRig {
  explicit Path(const std::string& keyer) {
    settings.CWKeyer = keyer;
    settings.CWPort = keyer == "Line" ? "COM1" : "None";
  }
  // Esc during a message of dashes, RUNS times; the times of the stops.
  std::vector<int64_t> Stops(int runs, const std::function<void(int64_t)>& stopped = {}) {
    std::vector<int64_t> at;
    for (int i = 0; i < runs; ++i) {
      send.Queue().QueueMessage("TTTT TTTT");
      for (int t = 0; t < 6; ++t) send.Tick(), std::this_thread::sleep_for(5ms);
      at.push_back(NowUs());
      send.Stop();
      if (stopped) stopped(at.back());
      for (int t = 0; t < 30 && !send.Idle(); ++t) send.Tick(), std::this_thread::sleep_for(10ms);
      std::this_thread::sleep_for(150ms);
    }
    return at;
  }
};

void Print(const char* what, std::vector<double> us, const char* more = "") {
  std::printf("%-44s %8.3f / %8.3f ms   (%zu)%s\n", what, bench::Pct(us, 0.5) / 1000.0,
              bench::Pct(us, 0.99) / 1000.0, us.size(), more);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 100;
  char tmpl[] = "/tmp/stop-paths-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  chmod(dir.c_str(), 0777);
  std::printf("Esc during a message at 60 WPM, median / p99 over %d stops\n", runs);

  {
    Path line("Line");
    line.Open(1);
    std::vector<double> up;
    line.Stops(runs, [&](int64_t t) {
      if (bench::g_down.load() < t && bench::g_up.load() >= t)
        up.push_back(static_cast<double>(bench::g_up.load() - t));
    });
    Print("line: Esc to key-up (in the process)", up);
  }

  if (std::system("command -v rigctld >/dev/null 2>&1") == 0) {
    const int port = test::FreePort(SOCK_STREAM);
    const std::string log = dir + "/rigctld.log";
    const pid_t rigctld = fork();
    if (rigctld == 0) {
      freopen(log.c_str(), "w", stderr);
      execlp("rigctld", "rigctld", "-m", "1", "-P", "RIG", "-T", "127.0.0.1", "-t",
             std::to_string(port).c_str(), "-vvvvv", "-Z", nullptr);
      _exit(127);
    }
    std::this_thread::sleep_for(1s);
    Path rig("Rig");
    rig.settings.CWPttLine = "Rig";
    rig.settings.RigPort = "127.0.0.1:" + std::to_string(port);
    rig.Open(0);
    std::vector<int64_t> wall;  // the stops on rigctld's clock
    rig.Stops(runs, [&](int64_t) { wall.push_back(WallUs()); });
    std::this_thread::sleep_for(300ms);
    const auto commands = RigctldCommands(log);
    auto after = [&](const std::string& prefix, int64_t since) -> int64_t {
      for (const auto& [us, what] : commands)
        if (us >= since && what.rfind(prefix, 0) == 0) return us;
      return -1;
    };
    std::vector<double> pttOff, stop;
    int textAfter = 0;
    for (int64_t t : wall) {
      if (const int64_t off = after("rigctl(d): T 'currVFO' '0'", t); off >= 0)
        pttOff.push_back(off - t);
      if (const int64_t asked = after("rigctl_parse: cmd=stop_morse", t); asked >= 0)
        stop.push_back(asked - t);
      const int64_t text = after("rigctl(d): b ", t);
      if (text >= 0 && text < t + 150'000) ++textAfter;
    }
    char more[64];
    std::snprintf(more, sizeof more, "   text after the stop: %d", textAfter);
    Print("rig: Esc to the radio's stop at rigctld", stop);
    Print("rig: Esc to PTT off at rigctld", pttOff, more);
    bench::Stop(rigctld);
  } else {
    std::printf("rigctld is not installed (libhamlib-utils): no radio path\n");
  }

  {
    pid_t socat;
    const std::string tty = bench::Pty(dir, &socat);
    const int port = test::FreePort(SOCK_DGRAM);
    std::ofstream(dir + "/orvex.ini") << "CWSidetone_Enable=0\r\n";
    const pid_t keyd = bench::Spawn({ORVEX_KEYD_BINARY, "--ini", dir + "/orvex.ini", "--port",
                                     "COM1", "--listen", "127.0.0.1:" + std::to_string(port)},
                                    {"ORVEX_COM1=" + tty, "LD_PRELOAD=" MODEM_SHIM,
                                     "ORVEX_SHIM_LOG=" + dir + "/lines.log", "ORVEX_AUDIO=none"});
    std::this_thread::sleep_for(1s);
    Path remote("Remote");
    remote.settings.RemoteKeyer = "127.0.0.1:" + std::to_string(port);
    remote.Open(0);
    const std::vector<int64_t> stops = remote.Stops(runs);
    std::this_thread::sleep_for(300ms);
    std::vector<std::pair<int64_t, bool>> dtr;
    std::ifstream in(dir + "/lines.log");
    long long us;
    for (std::string name, value; in >> us >> name >> value;)
      if (name == "DTR") dtr.push_back({us, value == "1"});
    std::vector<double> up;
    int upAlready = 0;
    for (int64_t t : stops) {
      bool down = false;  // the far key at the stop
      int64_t next = -1;
      for (const auto& [when, isDown] : dtr) {
        if (when < t) down = isDown;
        if (when >= t && !isDown) {
          next = when;
          break;
        }
      }
      if (!down) ++upAlready;
      if (down && next >= 0) up.push_back(static_cast<double>(next - t));
    }
    char more[64];
    std::snprintf(more, sizeof more, "   stops between elements: %d", upAlready);
    Print("remote: Esc to key-up at orvex-keyd (UDP)", up, more);
    bench::Stop(keyd);
    bench::Stop(socat);
  }
  std::system(("rm -rf " + dir).c_str());
  return 0;
}
