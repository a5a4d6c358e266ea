// What the command-line programs need around the send path: a tick on their
// own loop, a beep that says so on standard error, the check of a
// whole-number argument and the options that set a setting.
#pragma once

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>

#include "base/clock.h"
#include "base/numbers.h"
#include "base/stderr_message_sink.h"
#include "core/config/env_file.h"
#include "core/config/settings_table.h"
#include "core/frame/program_state.h"
#include "core/sending/send_seams.h"

namespace orvex::tools {

// An argument that must be a whole number within limits: "--msg 1.5" is a
// mistake, not message 2. Refused as "--msg must be 1 to 8".
inline Result WholeNumber(const std::string& option, const std::string& text, Limits limits,
                          int16_t* number, const char* unit = "") {
  if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos &&
      IsNumberInRange(text, static_cast<int16_t>(limits.lo), static_cast<int16_t>(limits.hi),
                      number))
    return {};
  return Result::Refused(option + " must be " + std::to_string(limits.lo) + " to " +
                         std::to_string(limits.hi) + unit);
}

// An option that sets a number setting for this run: a whole number within
// limits (the setting's own unless the program keeps to narrower ones).
inline Result SetFromOption(EnvSettings& settings, const Setting& setting,
                            const std::string& option, const std::string& text, Limits limits) {
  int16_t number = 0;
  if (Result whole = WholeNumber(option, text, limits, &number); !whole.ok()) return whole;
  return setting.Enter(settings, std::to_string(number));
}
inline Result SetFromOption(EnvSettings& settings, const Setting& setting,
                            const std::string& option, const std::string& text) {
  return SetFromOption(settings, setting, option, text, setting.limits);
}

// The environment file read for a command-line program: its problems are
// printed as the window would show them, and reading goes on.
// chosen: the file was named (--ini); the default one is missing, with its
// directory, on a first run, and its defaults are then all there is to say.
inline EnvRead ReadSettings(EnvironmentFile& file, MessageSink& sink, bool chosen) {
  EnvRead read = file.ReadEnvironmentFile();
  if (!chosen) std::erase_if(read.problems, [](const Result& r) { return r.error() == ENOENT; });
  ShowEnvProblems(read.problems, sink);
  return read;
}

// The send path's tick, fired by the program's loop.
class LoopTimer : public RepeatingTimer {
 public:
  void Start(int intervalMs, std::function<void()> tick) override {
    interval_ = intervalMs;
    tick_ = std::move(tick);
  }
  void Stop() override { tick_ = nullptr; }
  int Interval() const { return interval_; }
  void Fire() {
    if (tick_) tick_();
  }

 private:
  int interval_ = 100;
  std::function<void()> tick_;
};

class StderrBeeper : public Beeper {
 public:
  explicit StderrBeeper(std::string program) : program_(std::move(program)) {}
  void Beep() override {
    ++beeps_;
    std::fprintf(stderr, "%s: the send queue is full; text refused\n", program_.c_str());
  }
  int Beeps() const { return beeps_; }

 private:
  std::string program_;
  int beeps_ = 0;
};

}  // namespace orvex::tools
