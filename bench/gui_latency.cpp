// gui_latency: from an xdotool key press to the keying, read from the key
// log of a running Orvex (see gui_latency.sh, which starts it).
//
//   gui_latency typed LOG N   a typed "e" into an idle queue -> first KEY DOWN
//   gui_latency esc LOG N     Esc while the key is down -> KEY UP
//
// The time starts just before xdotool is started, so xdotool's own start-up
// (a few milliseconds) counts against Orvex.
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

long long NowUs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

void Key(const char* key) {
  const char* argv[] = {"xdotool", "key", key, nullptr};
  pid_t pid;
  if (posix_spawnp(&pid, "xdotool", nullptr, nullptr, const_cast<char**>(argv), environ) == 0)
    waitpid(pid, nullptr, 0);
}

struct Line {
  long long us;
  std::string what;
};

std::vector<Line> Read(const std::string& path) {
  std::vector<Line> out;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    out.push_back({std::atoll(line.c_str()), line.substr(space + 1)});
  }
  return out;
}

// Waits up to ms for a line `what` stamped after `after`; its time or -1.
long long WaitFor(const std::string& path, const std::string& what, long long after, int ms) {
  const long long deadline = NowUs() + ms * 1000LL;
  while (NowUs() < deadline) {
    for (const Line& l : Read(path))
      if (l.us > after && l.what == what) return l.us;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  return -1;
}

double Pct(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: gui_latency typed|esc LOG N\n");
    return 2;
  }
  const bool esc = !std::strcmp(argv[1], "esc");
  const std::string log = argv[2];
  const int n = std::atoi(argv[3]);
  std::vector<double> ms;
  for (int i = 0; i < n; ++i) {
    if (esc) {
      Key("ctrl+F1");  // a long message of dashes
      const long long down = WaitFor(log, "KEY DOWN", NowUs(), 5000);
      if (down < 0) continue;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      const std::vector<Line> lines = Read(log);
      if (lines.empty() || lines.back().what != "KEY DOWN") {  // caught in a gap: retry
        Key("Escape");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        --i;
        continue;
      }
      const long long t0 = NowUs();
      Key("Escape");
      const long long up = WaitFor(log, "KEY UP", t0, 2000);
      if (up >= 0) ms.push_back((up - t0) / 1000.0);
      if (std::getenv("GUI_LATENCY_EACH") && up >= 0) std::printf("%.1f\n", (up - t0) / 1000.0);
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    } else {
      const long long t0 = NowUs();
      Key("e");
      const long long down = WaitFor(log, "KEY DOWN", t0, 2000);
      if (down >= 0) ms.push_back((down - t0) / 1000.0);
      std::this_thread::sleep_for(std::chrono::milliseconds(400));  // back to idle
    }
  }
  if (ms.empty()) {
    std::printf("%s: no samples\n", argv[1]);
    return 1;
  }
  // What xdotool alone takes to start and send a key that does nothing here.
  std::vector<double> xdo;
  for (int i = 0; i < 20; ++i) {
    const long long t0 = NowUs();
    Key("shift");
    xdo.push_back((NowUs() - t0) / 1000.0);
  }
  std::printf(
      "%-5s over %zu presses, ms: median %.1f  p99 %.1f  max %.1f"
      "  (xdotool itself: median %.1f)\n",
      esc ? "esc" : "typed", ms.size(), Pct(ms, 0.5), Pct(ms, 0.99),
      *std::max_element(ms.begin(), ms.end()), Pct(xdo, 0.5));
  return 0;
}
