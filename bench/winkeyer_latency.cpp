// winkeyer_latency: how fast the send path reaches a WinKeyer, beside the
// port's own line. The WinKeyer is the test emulator on a pseudo-terminal;
// "on the wire" is when its reader has the byte.
//
//   winkeyer_latency [RUNS]     (default 200)
//
// char:  a typed character with the keyer idle, until its byte is on the
//        wire (WinKeyer) or its first key-down on the line (line);
// stop:  Esc's stop during a message (a logger's abort takes the same
//        path), until the clear command is on the wire (WinKeyer) or the
//        key is up (line).
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "core/config/port_name.h"
#include "send_rig.h"
#include "support/winkeyer_emulator.h"

using namespace orvex;
using namespace std::chrono_literals;

namespace {

void Print(const char* what, std::vector<double> us) {
  std::sort(us.begin(), us.end());
  if (us.empty()) return;
  std::printf("%-26s %8.3f / %8.3f ms   (%zu)\n", what, us[us.size() / 2] / 1000.0,
              us[us.size() * 99 / 100] / 1000.0, us.size());
}

// The first command starting with byte after since, on the emulator's clock.
int64_t CommandAfter(test::WinKeyerEmulator& wk, char byte, int64_t since) {
  for (int i = 0; i < 2000; ++i) {
    for (const auto& c : wk.Commands())
      if (c.us >= since && c.bytes[0] == byte) return c.us;
    std::this_thread::sleep_for(1ms);
  }
  return -1;
}

struct Path : bench::SendRig {
  Path(bool winKeyer, const std::string& device) {
    settings.CWPort = winKeyer ? Utf8ToCp1252(device) : "COM1";
    settings.CWKeyer = winKeyer ? "WinKeyer" : "Line";
    int16_t code = 0;
    ParseCWPort(settings.CWPort, &code);
    Open(code);
  }
  void Settle() {
    while (!send.Idle()) {
      send.Tick();
      std::this_thread::sleep_for(5ms);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 200;
  for (bool winKeyer : {false, true}) {
    // Only while it is measured: its reader spins on a core of its own.
    std::optional<test::WinKeyerEmulator> wk;
    if (winKeyer) wk.emplace(test::WinKeyerEmulator::Options{.spin = true});
    Path p(winKeyer, wk ? wk->Device() : "");
    std::vector<double> typed, stopped;
    for (int i = 0; i < runs; ++i) {
      p.typed.line.assign(1, 'E');
      const int64_t t0 = MonotonicNs() / 1000;
      p.send.Typed();
      if (winKeyer) {
        typed.push_back(static_cast<double>(CommandAfter(*wk, 'E', t0) - t0));
      } else {
        while (bench::g_down.load() < t0) std::this_thread::yield();
        typed.push_back(static_cast<double>(bench::g_down.load() - t0));
      }
      p.Settle();
      p.send.Queue().QueueMessage("PARIS PARIS");
      std::this_thread::sleep_for(60ms);
      const int64_t t1 = MonotonicNs() / 1000;
      p.send.Stop();
      stopped.push_back(
          static_cast<double>((winKeyer ? CommandAfter(*wk, 0x0A, t1) : bench::g_up.load()) - t1));
      p.Settle();
    }
    std::printf("%s\n", winKeyer ? "WinKeyer (emulated, on a pseudo-terminal)" : "line");
    Print("  char to the wire", typed);
    Print("  Esc's stop to the wire", stopped);
  }
  return 0;
}
