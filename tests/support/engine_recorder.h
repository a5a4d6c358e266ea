// Outputs for engine tests: a key line and a sidetone that record each
// change with its CLOCK_MONOTONIC time.
#pragma once

#include <cerrno>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/clock.h"
#include "engine/timing/keyer_engine.h"

namespace orvex::engine::test {

struct Change {
  int64_t ns;
  std::string what;
};

class Recorder {
 public:
  // Times from clock when given, else from CLOCK_MONOTONIC.
  explicit Recorder(EngineClock* clock = nullptr) : clock_(clock) {}
  void Add(const std::string& what) {
    std::lock_guard lock(mu_);
    changes_.push_back({clock_ ? clock_->Now() : MonotonicNs(), what});
  }
  std::vector<Change> Changes() const {
    std::lock_guard lock(mu_);
    return changes_;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const Change& c : Changes()) out.push_back(c.what);
    return out;
  }
  void Clear() {
    std::lock_guard lock(mu_);
    changes_.clear();
  }

 private:
  EngineClock* clock_;
  mutable std::mutex mu_;
  std::vector<Change> changes_;
};

class RecordingLine : public KeyLine {
 public:
  explicit RecordingLine(std::shared_ptr<Recorder> r) : r_(std::move(r)) {}
  ~RecordingLine() override { r_->Add("closed"); }
  Result SetKey(bool down) override { return Switch(down ? "key down" : "key up"); }
  Result SetPtt(bool on) override { return Switch(on ? "ptt on" : "ptt off"); }
  void AllUp() noexcept override { r_->Add("all up"); }
  int failAfter = -1;  // switches that work before the line fails with EIO

 private:
  Result Switch(const std::string& what) {
    if (failAfter == 0) return Result::FromErrno(Fault::Write, EIO);
    if (failAfter > 0) --failAfter;
    r_->Add(what);
    return {};
  }
  std::shared_ptr<Recorder> r_;
};

class RecordingSidetone : public Sidetone {
 public:
  RecordingSidetone(std::shared_ptr<Recorder> r, int device, std::shared_ptr<std::string> problem)
      : r_(std::move(r)), device_(device), problem_(std::move(problem)) {}
  void SetKey(bool down, int64_t) override {
    r_->Add("tone" + std::to_string(device_) + (down ? " on" : " off"));
  }
  void SetPitch(int hz) override { r_->Add("pitch " + std::to_string(hz)); }
  SidetoneStatus Status() const override {
    return {"tone" + std::to_string(device_), 0, problem_ ? *problem_ : ""};
  }

 private:
  std::shared_ptr<Recorder> r_;
  int device_;
  std::shared_ptr<std::string> problem_;
};

// Outputs that record into line and tone; a failing result makes OPEN fail.
// Every sidetone opened reports *problem (when given) as its trouble.
inline EngineOutputs Recording(std::shared_ptr<Recorder> line, std::shared_ptr<Recorder> tone,
                               Result open = {}, std::shared_ptr<std::string> problem = nullptr) {
  return {[line, open](int, LineChoice, std::unique_ptr<KeyLine>* opened) {
            if (open.ok()) *opened = std::make_unique<RecordingLine>(line);
            return open;
          },
          [tone, problem](SidetoneDevice device) -> std::unique_ptr<Sidetone> {
            return std::make_unique<RecordingSidetone>(tone, static_cast<int>(device), problem);
          }};
}

}  // namespace orvex::engine::test
