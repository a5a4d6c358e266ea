// The sidetone synthesiser: a sine at the pitch, shaped by raised-cosine
// edges so keying makes no clicks.
//
// The timing thread publishes each key change with the CLOCK_MONOTONIC time
// it happened (SetKey: a fixed lock-free queue, no allocation). The audio
// side renders with the time its first sample will be heard, and starts or
// ends each edge on the sample heard exactly Delay() after the key changed.
// So the tone follows the key by a constant latency, whatever the buffer
// size, instead of wandering by a buffer as a key sampled once per buffer
// would. Render never allocates, locks or blocks. The WAV writer renders
// through the same code on a clock of its own.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace orvex::engine {

// The tone's own state from sample to sample: where the raised-cosine edge
// stands and the sine's phase. Small enough to copy, so an output that
// renders ahead can go back to any point it kept and render again from there.
struct ToneVoice {
  int edge = 1;     // samples in one edge
  int edgePos = 0;  // 0 silent .. edge full tone
  bool down = false;
  double phase = 0;
  // Silent, its edges edgeMs long at sampleRate (one sample at least).
  static ToneVoice WithEdge(double sampleRate, double edgeMs) {
    ToneVoice voice;
    voice.edge = std::max(1, static_cast<int>(std::lround(sampleRate * edgeMs / 1000.0)));
    return voice;
  }
  // frames samples at level, the key as down says.
  void Shape(float* out, size_t frames, double step, double level) noexcept;
};

// A volume in percent as a level, 0 to 1 (outside 0 to 100 %: the nearest).
inline float VolumeLevel(int percent) {
  return static_cast<float>(percent < 0 ? 0 : percent > 100 ? 100 : percent) / 100.0f;
}

// The sine's step from sample to sample at hz.
inline double Step(int hz, double sampleRate) {
  return 2.0 * 3.14159265358979323846 * (hz > 0 ? hz : 0) / sampleRate;
}

class ToneSynth {
 public:
  explicit ToneSynth(double sampleRate, double edgeMs = 5.0, float amplitude = 0.5f);

  // One producer at a time (the engine switches under its line lock).
  void SetKey(bool down, int64_t atNs) noexcept;
  void SetPitch(int hz) { pitch_.store(hz, std::memory_order_relaxed); }
  // 0 to 100 % of the full level.
  void SetVolume(int percent) { volume_.store(VolumeLevel(percent), std::memory_order_relaxed); }
  // How long after a key change its edge is heard: the stream's latency
  // and room for a buffer to be asked for late. An edge that would fall
  // before the buffer being rendered (it came too late for that) starts on
  // the buffer's first sample; the delay stays, so one stall does not make
  // every later tone lag.
  void SetDelay(int64_t ns) { delayNs_.store(ns, std::memory_order_relaxed); }
  int64_t Delay() const { return delayNs_.load(std::memory_order_relaxed); }
  // Edges that came too late for their sample.
  uint64_t LateEdges() const { return late_.load(std::memory_order_relaxed); }

  // Audio side: fills frames mono samples in [-1, 1]; the first is heard at
  // firstSampleNs (CLOCK_MONOTONIC).
  void Render(float* out, size_t frames, int64_t firstSampleNs) noexcept;

 private:
  struct Change {
    bool down;
    int64_t atNs;
  };
  static constexpr uint64_t kChanges = 256;

  double Level() const { return amplitude_ * volume_.load(std::memory_order_relaxed); }

  std::array<Change, kChanges> changes_{};
  std::atomic<uint64_t> head_{0}, tail_{0};
  // The last key state asked for: when the queue overflows (nobody renders,
  // the sound server is gone) the tone still ends up where the key is.
  std::atomic<bool> latest_{false};
  std::atomic<bool> overflowed_{false};
  std::atomic<int> pitch_{600};
  std::atomic<float> volume_{1.0f};
  std::atomic<int64_t> delayNs_{0};
  std::atomic<uint64_t> late_{0};
  double rate_;
  ToneVoice voice_;
  float amplitude_;
};

// Where an audio stream's samples fall in CLOCK_MONOTONIC time. Each buffer
// brings an estimate of when its first sample is heard (the callback's time
// plus the stream's latency), which jitters with scheduling. The clock fits
// a straight line through the estimates against the samples counted, the
// latest counting most: its slope is the stream's own rate measured against
// this clock (a sound card or a sound server's null sink is a few hundred
// ppm off the nominal rate), so the tone stays with the key over a long
// message, and the jitter of each estimate is not followed. A jump (an
// underrun, a restarted stream) is taken once jumpReadings readings in a row
// agree on it; a single odd reading is ignored.
class StreamClock {
 public:
  // jumpReadings: how many readings in a row far off make a jump.
  explicit StreamClock(double sampleRate, int jumpReadings = 3)
      : rate_(sampleRate), jumpReadings_(jumpReadings) {}
  // The time the first of frames samples is heard, from this buffer's
  // estimate.
  int64_t FirstSample(int64_t estimateNs, size_t frames) noexcept {
    const int64_t first = Next(estimateNs);
    Advance(static_cast<int64_t>(frames));
    return first;
  }
  // When the next sample is heard, from an estimate, without moving on.
  int64_t Next(int64_t estimateNs) noexcept;
  // frames samples further on (back, when negative).
  void Advance(int64_t frames) noexcept { count_ += frames; }
  // The stream (re)started playing: the next estimate is taken as it is.
  void Restart() noexcept { started_ = false; }

 private:
  // Readings weigh this much less each (a time constant of about 4000).
  static constexpr double kForget = 0.99975;
  static constexpr double kJumpNs = 4e6;
  double Fit(double count) const noexcept;

  double rate_;
  int jumpReadings_;
  bool started_ = false;
  int far_ = 0;        // readings in a row far from the line
  int64_t count_ = 0;  // samples so far: the next one's number
  // The weighted line through (sample number, estimate).
  double weight_ = 0, meanX_ = 0, meanY_ = 0, varX_ = 0, covXY_ = 0;
};

}  // namespace orvex::engine
