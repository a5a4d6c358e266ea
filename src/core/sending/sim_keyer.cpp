#include "core/sending/sim_keyer.h"

#include <algorithm>

namespace orvex {

void SimKeyer::Print(const char* op, int a, int b) {
  if (trace_) trace_(std::string(op) + " " + std::to_string(a) + " " + std::to_string(b));
}

Result SimKeyer::Open(int16_t port, const Wiring&) {
  Print("OPEN", 0, port);
  return {};
}

void SimKeyer::Close() {
  Print("CLOSE", 0, 0);
  Drop();
}

void SimKeyer::Abort() {
  Print("ABORT", 0, 0);
  Drop();
}

void SimKeyer::Drop() {
  // What had not been keyed by now never is: the timeline ends here.
  const int64_t now = clock_.MonotonicMs() * 1000;
  while (!timeline_.empty() && timelineEnd_ > now) {
    engine::KeyElement& last = timeline_.back();
    const int64_t start = timelineEnd_ - last.units;
    if (start >= now) {
      timeline_.pop_back();
      timelineEnd_ = start;
    } else {
      last.units = static_cast<int>(now - start);
      timelineEnd_ = now;
    }
  }
  ends_.clear();
  active_ = false;
}

int16_t SimKeyer::Pending() {
  const int64_t now = clock_.MonotonicMs();
  while (!ends_.empty() && ends_.front() <= now) ends_.pop_front();
  return static_cast<int16_t>(std::min<size_t>(ends_.size(), 32767));
}

void SimKeyer::Element(int16_t state, int16_t units) {
  Print("ELEMENT", state, units);
  if (units > 0) Play(state == 0, units * unitUs_);
}

void SimKeyer::ElementNs(bool down, int64_t ns) {
  Print("ELEMENTMS", down ? 0 : 128, static_cast<int>((ns + 500'000) / 1'000'000));
  if (ns >= 1000) Play(down, ns / 1000);
}

void SimKeyer::Play(bool down, int64_t length) {
  const int64_t start = std::max(clock_.MonotonicMs() * 1000, timelineEnd_);
  if (start > timelineEnd_) timeline_.push_back({false, static_cast<int>(start - timelineEnd_)});
  ++queued_;
  timeline_.push_back({down, static_cast<int>(length)});
  timelineEnd_ = start + length;
  ends_.push_back((timelineEnd_ + 999) / 1000);  // the simulated clock counts milliseconds
  active_ = true;
}

void SimKeyer::Tune(int ms) {
  Print("TUNE", 0, ms);
  const int64_t unit = unitUs_;
  unitUs_ = 1000;
  Element(0, static_cast<int16_t>(ms));
  unitUs_ = unit;
}

int64_t SimKeyer::NextChangeMs() {
  Pending();  // what has ended by now
  return ends_.empty() ? -1 : ends_.front();
}

void SimKeyer::Unit(int64_t ns) {
  Print("UNIT", 0, static_cast<int>(ns / 1'000'000));  // the trace shows the whole ms
  if (ns >= 1000) unitUs_ = ns / 1000;
}

void SimKeyer::Idle() {
  Print("IDLE", 0, 0);
  if (Pending() == 0) active_ = false;
}

}  // namespace orvex
