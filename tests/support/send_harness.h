// The whole send path on a simulated clock: a SimKeyer whose calls are
// recorded, a pause timer that fires as the clock passes its deadline, a
// typed line, a beeper that counts and a recording message sink.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "core/sending/deadline_timer.h"
#include "core/sending/send_path.h"
#include "core/sending/sim_keyer.h"
#include "support/fake_keyer.h"
#include "support/recording_sink.h"

namespace orvex::test {

// A deadline timer that also counts its starts and keeps the last length.
class FakeTimer : public DeadlineTimer {
 public:
  using DeadlineTimer::DeadlineTimer;
  void Start(int ms, std::function<void()> done) override {
    ++starts;
    lastMs = ms;
    DeadlineTimer::Start(ms, std::move(done));
  }
  int starts = 0;
  int lastMs = 0;
};

class CountingBeeper : public Beeper {
 public:
  void Beep() override { ++beeps; }
  int beeps = 0;
};

class FakeTypeAhead : public TypeAheadLine {
 public:
  bool Empty() const override { return line.empty(); }
  char TakeFirst() override {
    const char c = line.front();
    line.erase(0, 1);
    return c;
  }
  void Clear() override { line.clear(); }
  Text line;
};

class QueueRecorder : public SendObserver {
 public:
  void Queued(const Text& text, int level) override { queued.push_back({text, level}); }
  void Paused(int) override {}
  // The window's echo sees the keying through here, when a test has one.
  void Keying(unsigned char c, uint64_t first) override {
    if (also) also->Keying(c, first);
  }
  void Stopped(const Text& dropped) override {
    if (also) also->Stopped(dropped);
  }
  SendObserver* also = nullptr;
  Text All() const {
    Text all;
    for (const auto& q : queued) all += q.first;
    return all;
  }
  std::vector<std::pair<Text, int>> queued;
};

class SendHarness {
 public:
  explicit SendHarness(std::string programDir = "/stn") : programDir_(std::move(programDir)) {
    send.SetTypeAhead(&typed);
    send.Port().InitCW();
    send.Port().SetCWSpeed(28);
    send.Port().SetKeyboardCW(true);
    keyer.Unit(10);
    calls.clear();
  }
  // The program's tick for ms of simulated time.
  void RunFor(int ms) {
    for (int t = 0; t < ms; t += 100) {
      clock.Advance(100);
      timer.Poll();
      send.Tick();
    }
  }
  // The keying as text: "." and "-" for key-downs, a blank for a gap longer
  // than one unit, other calls in brackets.
  std::string Keyed() const {
    std::string out;
    for (const std::string& c : calls) {
      if (c == "ELEMENT 0 1")
        out += ".";
      else if (c == "ELEMENT 0 3")
        out += "-";
      else if (c.rfind("ELEMENT 128", 0) == 0)
        out += c == "ELEMENT 128 1" ? "" : " ";
      else
        out += "[" + c + "]";
    }
    return out;
  }
  int Count(const std::string& call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
  }

  std::string programDir_;
  ManualClock clock;
  std::vector<std::string> calls;
  SimKeyer keyer{clock, [this](const std::string& c) { calls.push_back(c); }};
  EnvSettings settings;
  FakeTimer timer{clock};
  CountingBeeper beeper;
  RecordingSink sink;
  FakeTypeAhead typed;
  QueueRecorder queued;
  SendPath send{{keyer, settings, clock, timer, beeper, sink, programDir_, &queued}};
};

// The send path over a FakeKeyer that records each call by name, for the
// tests that look at exactly which keyer operations run.
class FakeKeyerPath {
 public:
  explicit FakeKeyerPath(const EnvSettings& settings)
      : send({keyer, settings, clock, timer, beeper, sink, "/stn"}) {
    send.Port().InitCW();
  }
  FakeKeyer keyer;
  RecordingSink sink;
  ManualClock clock;
  FakeTimer timer{clock};
  CountingBeeper beeper;
  SendPath send;
};

}  // namespace orvex::test
