// A keyer that plays on a simulated clock: elements take their time as the
// clock is advanced, nothing waits in real time. Tests use it as the fake
// keyer; orvex-send prints its calls (--trace) and renders its timeline
// (--wav).
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "core/sending/keyer.h"
#include "engine/sound/wav_writer.h"

namespace orvex {

class SimKeyer : public Keyer {
 public:
  // trace, when set, sees each call except PENDING and ACTIVE as
  // "OPERATION a b" (ELEMENT 0 3, KEYLINE 0 1, TONE 0 650).
  explicit SimKeyer(ManualClock& clock, std::function<void(const std::string&)> trace = {})
      : clock_(clock), trace_(std::move(trace)) {}

  Result Open(int16_t port, const Wiring& wiring) override;
  void Close() override;
  void Abort() override;
  int16_t Pending() override;
  void Element(int16_t state, int16_t units) override;
  void KeyLine(int16_t on) override { Print("KEYLINE", 0, on); }
  void Sidetone(SidetoneDevice device) override { Print("SIDETONE", 0, static_cast<int>(device)); }
  void Tone(int16_t hz) override { Print("TONE", 0, hz); }
  int16_t Active() override { return active_ ? 1 : 0; }
  void Unit(int64_t ns) override;
  void Idle() override;
  Result LineError() override { return {}; }
  void PttTiming(int16_t leadMs, int16_t tailMs) override { Print("PTT", leadMs, tailMs); }
  void Tune(int ms) override;
  engine::SidetoneStatus SidetoneState() override { return {}; }  // nothing is heard
  void ElementNs(bool down, int64_t ns) override;
  void Volume(int16_t percent) override { Print("VOLUME", 0, percent); }
  void HoldPtt(int16_t on, int limitMs) override { Print("HOLDPTT", limitMs, on); }
  uint64_t HoldsDropped() override { return 0; }
  bool Interrupted() override { return false; }
  int64_t NextChangeMs() override;
  uint64_t Queued() override { return queued_; }
  uint64_t Ended() override {
    Pending();
    return queued_ - ends_.size();
  }

  // Key down and up over the whole send, in microseconds from the clock's
  // start, silence between.
  std::vector<engine::KeyElement> Timeline() const { return timeline_; }

 private:
  void Print(const char* op, int a, int b);
  void Play(bool down, int64_t lengthUs);
  // Everything queued and not yet played dropped at once.
  void Drop();
  ManualClock& clock_;
  std::function<void(const std::string&)> trace_;
  std::deque<int64_t> ends_;  // end times of elements not yet finished
  int64_t unitUs_ = 42'857;
  bool active_ = false;
  uint64_t queued_ = 0;
  std::vector<engine::KeyElement> timeline_;
  int64_t timelineEnd_ = 0;  // us
};

}  // namespace orvex
