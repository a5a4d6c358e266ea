// What the benchmarks that time the real send path in the process share: a
// key line that notes when it moved, a program around the path that says
// nothing but its warnings, and the path wired to the real engine.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "base/clock.h"
#include "base/message_sink.h"
#include "core/frame/attention_boxes.h"
#include "core/sending/deadline_timer.h"
#include "core/sending/engine_keyer.h"
#include "core/sending/send_path.h"
#include "support/send_harness.h"

namespace bench {

// When the timed line last went down and up, in microseconds on the
// monotonic clock.
inline std::atomic<int64_t> g_down{0}, g_up{0};

class TimedLine : public orvex::engine::KeyLine {
 public:
  orvex::Result SetKey(bool down) override {
    (down ? g_down : g_up).store(orvex::MonotonicNs() / 1000);
    return {};
  }
  orvex::Result SetPtt(bool) override { return {}; }
  void AllUp() noexcept override { g_up.store(orvex::MonotonicNs() / 1000); }
};

class Quiet : public orvex::MessageSink, public orvex::Beeper {
 public:
  void Warning(const orvex::Text& title, const orvex::Text& text) override {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  }
  void Information(const orvex::Text&, const orvex::Text&) override {}
  bool Question(const orvex::Text&, const orvex::Text&) override { return false; }
  void Beep() override {}
};

// Set the settings, then Open. Every port is the timed line.
struct SendRig {
  SendRig()
      : engine({[](int, orvex::engine::LineChoice, std::unique_ptr<orvex::engine::KeyLine>* line) {
                  *line = std::make_unique<TimedLine>();
                  return orvex::Result();
                },
                [](orvex::engine::SidetoneDevice) { return nullptr; }}) {
    settings.CWSidetone_Enable = 0;
    settings.CWSpeed = 60;
  }
  void Open(int16_t portCode) {
    send.SetTypeAhead(&typed);
    send.InitCW();
    send.SetKeyboardCW(true);
    send.OpenCWPort(portCode);
  }
  orvex::EnvSettings settings;
  orvex::SystemClock clock;
  orvex::DeadlineTimer timer{clock};
  Quiet quiet;
  orvex::AttentionBoxes attention{quiet};
  orvex::engine::KeyerEngine engine;
  orvex::EngineKeyer keyer{engine};
  orvex::test::FakeTypeAhead typed;
  orvex::SendPath send{{keyer, settings, clock, timer, quiet, attention, "/tmp"}};
};

}  // namespace bench
