// keyer_timing: how exactly the engine keys, how fast it stops, what it costs.
//
// Keys an instrumented line with PARIS for a while at 40 and 60 WPM, with the
// machine idle and with two busy threads beside it, and prints the deviation
// of every transition from its ideal time, the total length error, the abort
// latency over many aborts, and the CPU used keying and idle.
//
//   keyer_timing [--seconds S] [--aborts N]     (defaults 60 and 1000)
//   keyer_timing --loaded [RUNS]                 the busy-machine comparison (keyer_load.cpp)
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "core/sending/morse_table.h"
#include "engine/timing/keyer_engine.h"

using namespace orvex::engine;
using orvex::MonotonicNs;

namespace {

// Records key changes into preallocated memory; called under the engine lock.
struct Instrument {
  std::vector<std::pair<int64_t, bool>> changes;
  int64_t lastUp = 0;
};

class InstrumentedLine : public KeyLine {
 public:
  explicit InstrumentedLine(Instrument* in) : in_(in) {}
  orvex::Result SetKey(bool down) override {
    const int64_t now = MonotonicNs();
    in_->changes.emplace_back(now, down);
    if (!down) in_->lastUp = now;
    return {};
  }
  orvex::Result SetPtt(bool) override { return {}; }
  void AllUp() noexcept override { in_->lastUp = MonotonicNs(); }

 private:
  Instrument* in_;
};

EngineOutputs Outputs(Instrument* in) {
  return {
      [in](int, LineChoice, std::unique_ptr<KeyLine>* line) {
        *line = std::make_unique<InstrumentedLine>(in);
        return orvex::Result();
      },
      [](SidetoneDevice) -> std::unique_ptr<Sidetone> { return std::make_unique<NullSidetone>(); }};
}

std::vector<std::pair<bool, int>> Paris() {
  std::vector<std::pair<bool, int>> out;
  for (const char c : std::string("PARIS")) {
    for (const char element : orvex::MorseCode(static_cast<unsigned char>(c))) {
      out.push_back({true, element == '.' ? 1 : 3});
      out.push_back({false, 1});
    }
    out.push_back({false, 2});
  }
  out.push_back({false, 1});
  out.push_back({false, 2});
  return out;  // 48 units: the word PARIS with Orvex's 6-unit word space
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}

double CpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
         (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

long Wakeups() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_nvcsw + ru.ru_nivcsw;
}

void KeyRun(int wpm, double seconds, bool loaded) {
  Instrument in;
  in.changes.reserve(200000);
  KeyerEngine engine(Outputs(&in));
  engine.Open(1);
  engine.SetKeyLine(true);
  const int unitMs = 1200 / wpm;
  engine.SetUnitNs(int64_t{unitMs} * 1'000'000);

  std::atomic<bool> stop{false};
  std::vector<std::thread> load;
  if (loaded)
    for (int i = 0; i < 2; ++i)
      load.emplace_back([&] {
        volatile unsigned long x = 0;
        while (!stop.load(std::memory_order_relaxed)) x = x + 1;
      });

  const auto word = Paris();
  const int words = std::max(1, static_cast<int>(seconds * 1000 / (48.0 * unitMs)));
  // The planned lengths between key changes (runs of equal elements merged).
  std::vector<int> planned;
  bool keyed = false;
  for (int w = 0; w < words; ++w)
    for (auto [down, units] : word) {
      if (planned.empty() || down != keyed) planned.push_back(0);
      planned.back() += units;
      keyed = down;
    }
  // Kept topped up well ahead of the keying: what is measured is the
  // engine, not how promptly a starved feeder keeps its queue filled.
  const double cpu0 = CpuSeconds();
  const int64_t wall0 = MonotonicNs();
  for (int w = 0; w < words; ++w) {
    while (engine.Pending() > 400) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (auto [down, units] : word) engine.Element(down, units);
  }
  while (engine.Pending() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  // Process CPU: meaningful only without the busy threads.
  const double cpuKeying = (CpuSeconds() - cpu0) / ((MonotonicNs() - wall0) / 1e9);
  stop = true;
  for (auto& t : load) t.join();
  engine.Close();

  // Each interval between key changes against its planned length: a late
  // wake makes one interval longer and moves the rest; it never cuts one.
  std::vector<double> error;
  long shortened = 0;
  const size_t n = std::min(planned.size() - 1, in.changes.size() - 1);
  for (size_t i = 0; i + 1 < in.changes.size() && i < n; ++i) {
    const double ms = (in.changes[i + 1].first - in.changes[i].first) / 1e6;
    const double want = planned[i] * unitMs;
    error.push_back(std::fabs(ms - want));
    if (ms < want - 1.0) ++shortened;
  }
  const double idealLen = std::accumulate(planned.begin(), planned.end() - 1, 0.0) * unitMs;
  const double realLen = (in.changes.back().first - in.changes.front().first) / 1e6;
  std::printf(
      "%2d WPM %-6s %5zu transitions  element error ms: median %.3f  p99 %.3f  max %.3f  "
      "late by %.1f ms in all  CPU %s  shortened %ld  skipped %ld\n",
      wpm, loaded ? "loaded" : "idle", in.changes.size(), Percentile(error, 0.5),
      Percentile(error, 0.99), error.empty() ? 0 : *std::max_element(error.begin(), error.end()),
      realLen - idealLen,
      loaded ? "n/a" : (std::to_string(100 * cpuKeying).substr(0, 5) + " %").c_str(), shortened,
      static_cast<long>(planned.size()) - static_cast<long>(in.changes.size()));
}

void AbortRun(int count) {
  Instrument in;
  in.changes.reserve(static_cast<size_t>(count) * 4);
  KeyerEngine engine(Outputs(&in));
  engine.Open(1);
  engine.SetKeyLine(true);
  engine.SetUnitNs(int64_t{50} * 1'000'000);
  std::vector<double> latency;
  for (int i = 0; i < count; ++i) {
    const size_t before = in.changes.size();
    engine.Element(true, 100);
    while (in.changes.size() == before) std::this_thread::sleep_for(std::chrono::microseconds(100));
    // Let the timing thread settle into its wait at a random point.
    std::this_thread::sleep_for(std::chrono::microseconds(200 + (i * 37) % 1500));
    const int64_t t0 = MonotonicNs();
    engine.Abort();
    latency.push_back((in.lastUp - t0) / 1e6);
    engine.Idle();
  }
  std::printf("abort -> key up over %d aborts, ms: median %.4f  p99 %.4f  max %.4f\n", count,
              Percentile(latency, 0.5), Percentile(latency, 0.99),
              *std::max_element(latency.begin(), latency.end()));

  // Idle: the engine open, nothing queued.
  const double cpu0 = CpuSeconds();
  const long wake0 = Wakeups();
  std::this_thread::sleep_for(std::chrono::seconds(5));
  std::printf("idle for 5 s: CPU %.3f %%, context switches %ld (the sleeping caller's own: 1)\n",
              100 * (CpuSeconds() - cpu0) / 5, Wakeups() - wake0);
}

}  // namespace

int LoadedRuns(int runs, const std::string& send, const std::string& shim);

int main(int argc, char** argv) {
  double seconds = 60;
  int aborts = 1000;
  for (int i = 1; i < argc; ++i)
    if (!std::strcmp(argv[i], "--loaded"))
      return LoadedRuns(i + 1 < argc ? std::atoi(argv[i + 1]) : 10, ORVEX_SEND_BINARY, MODEM_SHIM);
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--seconds")) seconds = std::atof(argv[i + 1]);
    if (!std::strcmp(argv[i], "--aborts")) aborts = std::atoi(argv[i + 1]);
  }
  for (bool loaded : {false, true})
    for (int wpm : {40, 60}) KeyRun(wpm, seconds, loaded);
  AbortRun(aborts);
  return 0;
}
