// Sidetone through PipeWire, spoken to natively: a stream asking the graph
// for a small quantum (128 samples at 48 kHz: 2.7 ms). Nothing is rendered
// ahead: each time the graph asks, the tone of that quantum alone is made,
// every planned edge on the sample heard when the key moves (placed from the
// stream's own time report: the graph's clock and its delay to the device),
// and a change nobody planned (Esc, a paddle, a logger's abort) on the first
// sample of the next quantum. So nothing needs taking back, and the tone
// follows the graph's clock, not a guess at it, over any length of keying.
#pragma once

#include <spa/utils/hook.h>

#include <atomic>
#include <memory>
#include <string>

#include "base/result.h"
#include "engine/sound/sidetone.h"
#include "engine/sound/tone_ahead.h"

struct pw_thread_loop;
struct pw_context;
struct pw_core;
struct pw_stream;

namespace orvex::engine {

class PipeWireSidetone : public Sidetone {
 public:
  // The output into *opened; missing when no PipeWire daemon answers, failed
  // (saying why) when one answered and would not play.
  static Result Open(std::unique_ptr<PipeWireSidetone>* opened);
  ~PipeWireSidetone() override;
  PipeWireSidetone(const PipeWireSidetone&) = delete;
  PipeWireSidetone& operator=(const PipeWireSidetone&) = delete;

  void SetKey(bool down, int64_t atNs) override { tone_.Now(down, atNs); }
  void SetPitch(int hz) override { tone_.SetPitch(hz); }
  void SetVolume(int percent) override { tone_.SetVolume(percent); }
  SidetoneStatus Status() const override;
  int64_t PlansAheadNs() const override;
  int64_t ReadyNs() const override;
  void Plan(bool down, int64_t atNs) override { tone_.Plan(down, atNs); }
  void Unplan(int64_t fromNs) override { tone_.Unplan(fromNs); }
  void Shift(int64_t fromNs, int64_t byNs) override { tone_.Shift(fromNs, byNs); }
  void PlannedThrough(int64_t ns) override { tone_.Through(ns); }

 private:
  PipeWireSidetone() = default;
  friend struct PipeWireCallbacks;
  // On the graph's real-time thread: one quantum of tone.
  void Process();

  static constexpr double kRate = 48000;
  ToneAhead tone_{kRate};
  pw_thread_loop* loop_ = nullptr;
  pw_context* context_ = nullptr;
  pw_core* core_ = nullptr;
  pw_stream* stream_ = nullptr;
  spa_hook listener_{};
  std::string version_;
  // The last cycle's start, and how long after a cycle's start the first
  // sample of the quantum it makes is heard.
  std::atomic<int64_t> cycleNs_{0}, aheadNs_{0};
  std::atomic<uint32_t> quantum_{0};    // samples the graph asks for at a time
  std::atomic<bool> streaming_{false};  // the graph has asked for sound
  std::atomic<bool> gone_{false};       // the daemon went away or the stream failed
  std::atomic<uint64_t> underruns_{0};
  // The stream thread's own.
  uint64_t lastTicks_ = 0;  // the graph's sample count at the last quantum
  bool raised_ = false;     // its priority raised
};

}  // namespace orvex::engine
