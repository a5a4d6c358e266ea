// The whole send path on a simulated clock, as every send-path test drives
// it: a SimKeyer whose calls are recorded and whose state can be read (and
// whose port, line and sidetone can be made to fail), a pause timer that
// fires as the clock passes its deadline, a typed line, a beeper that
// counts and a recording message sink behind the send path's Attention;
// and what the window's commands open, recorded instead of shown.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/clock.h"
#include "base/message_sink.h"
#include "core/frame/attention_boxes.h"
#include "core/frame/window_commands.h"
#include "core/sending/deadline_timer.h"
#include "core/sending/send_path.h"
#include "core/sending/sim_keyer.h"

namespace orvex::test {

// A message sink that records every box; questions get the answer set
// beforehand.
struct RecordedBox {
  Text title;
  Text text;
  bool warning;
};

class RecordingSink : public MessageSink {
 public:
  void Warning(const Text& title, const Text& text) override {
    boxes.push_back({title, text, true});
  }
  void Information(const Text& title, const Text& text) override {
    boxes.push_back({title, text, false});
  }
  bool Question(const Text& title, const Text& text) override {
    questions.push_back({title, text, false});
    return answer;
  }
  // "title|text" of the last box, or "" when none was shown.
  Text Last() const {
    return boxes.empty() ? Text() : boxes.back().title + "|" + boxes.back().text;
  }

  std::vector<RecordedBox> boxes;
  std::vector<RecordedBox> questions;
  bool answer = false;
};

// What the window commands open, recorded instead of shown.
class RecordingServices : public WindowServices, public FileChooser {
 public:
  // Answers as set; an answer the prompt's check refuses is answered all
  // the same (a prompt that lets anything through).
  bool Prompt(const Text& t, const Text& label, Text* text, const PromptCheck& check) override {
    prompts.push_back(t + "|" + label + "|" + *text);
    lastCheck = check;
    *text = answer;
    return ok;
  }
  void SetTitle(const Text& t) override { title = t; }
  void OpenCWOptions() override {}
  void ShowHelp(int context) override { helps.push_back(context); }
  void ShowTextFile(const Text&) override {}
  void ExitProgram() override {
    if (onExit) onExit();
  }
  std::optional<std::string> ChooseFileToRead(const Text&, const Text&,
                                              const std::string&) override {
    return std::nullopt;
  }

  std::vector<Text> prompts;
  PromptCheck lastCheck;
  std::vector<int> helps;
  Text answer, title;
  bool ok = true;
  std::function<void()> onExit;
};

// A SimKeyer that remembers where the keyer stands (what a listener at the
// radio would find) and can fail as a real port does.
class TestKeyer : public SimKeyer {
 public:
  using SimKeyer::SimKeyer;
  Result Open(int16_t port, const Wiring& wiring) override {
    ++opens;
    (void)SimKeyer::Open(port, wiring);
    if (!openResult.ok()) return openResult;
    open = true;
    this->port = port;
    this->wiring = wiring;
    keyLine = false;  // as the engine opens: key line off, no sidetone
    sidetone = SidetoneDevice::None;
    return {};
  }
  void Close() override {
    SimKeyer::Close();
    open = false;
  }
  // Both only change an open port, as the engine's do.
  void KeyLine(int16_t on) override {
    SimKeyer::KeyLine(on);
    if (open) keyLine = on != 0;
  }
  void Sidetone(SidetoneDevice device) override {
    SimKeyer::Sidetone(device);
    if (open) sidetone = device;
  }
  void Tone(int16_t hz) override {
    SimKeyer::Tone(hz);
    tone = hz;
  }
  void Unit(int64_t ns) override {
    SimKeyer::Unit(ns);
    unitMs = static_cast<int>(ns / 1'000'000);
  }
  void PttTiming(int16_t leadMs, int16_t tailMs) override {
    SimKeyer::PttTiming(leadMs, tailMs);
    pttLead = leadMs;
  }
  Result LineError() override { return lineError; }
  engine::SidetoneStatus SidetoneState() override { return sidetoneState; }
  // As a keyer that times itself: each character one step of its whole
  // length at the unit in effect, so the counts are characters.
  bool TakesCharacters() override { return takesCharacters && keyLine; }
  bool Character(unsigned char c) override {
    const std::string_view code = MorseCode(c);
    if (!TakesCharacters() || code.empty()) return false;
    characters += static_cast<char>(c);
    int64_t units = c == ' ' ? 4 : 3;
    for (char e : code) units += e == '-' ? 4 : 2;
    ElementNs(true, units * unitMs * 1'000'000);
    return true;
  }
  uint64_t BreakIns() override { return breakIns; }
  uint64_t BrokeInAt() override { return brokeInAt; }
  std::string TakeHandText() override { return std::exchange(handText, {}); }

  Result openResult;  // what the next Open comes to
  Result lineError;   // the port line, once it fails
  engine::SidetoneStatus sidetoneState;
  Wiring wiring;
  bool takesCharacters = false;  // a keyer that times itself, on the port
  std::string characters;        // what such a keyer was handed
  uint64_t breakIns = 0, brokeInAt = ~uint64_t{0};
  std::string handText;  // what the operator's paddle sent, not yet taken
  bool open = false, keyLine = false;
  int16_t port = 0, tone = 0, unitMs = 0, pttLead = 0;
  int opens = 0;
  SidetoneDevice sidetone = SidetoneDevice::None;
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
  void Hold(const Text& untaken) override {
    held = true;
    line = untaken + line;
  }
  bool Held() const override { return held; }
  Text line;
  bool held = false;
};

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
  // Keying at 28 WPM with a 10 ms unit, typed text keyed, no port opened;
  // on the settings given (the program's own, in the frame's tests) or its
  // own.
  explicit SendHarness(std::string programDir = "/stn", EnvSettings* program = nullptr)
      : programDir_(std::move(programDir)), settings(program ? *program : own_) {
    send.SetTypeAhead(&typed);
    send.InitCW();
    send.SetSpeed(28);
    send.SetKeyboardCW(true);
    keyer.Unit(10'000'000);
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
  TestKeyer keyer{clock, [this](const std::string& c) { calls.push_back(c); }};
  EnvSettings own_;
  EnvSettings& settings;
  FakeTimer timer{clock};
  CountingBeeper beeper;
  RecordingSink sink;
  AttentionBoxes attention{sink};
  FakeTypeAhead typed;
  QueueRecorder queued;
  SendPath send{{keyer, settings, clock, timer, beeper, attention, programDir_, &queued}};
};

}  // namespace orvex::test
