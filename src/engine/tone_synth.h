// The sidetone synthesiser: a sine at the pitch, shaped by raised-cosine
// edges so keying makes no clicks. The key and pitch are atomics written by
// the timing thread; Render runs in the audio callback and never allocates,
// locks or blocks. The WAV writer renders through the same code.
#pragma once

#include <atomic>
#include <cstddef>

namespace orvex::engine {

class ToneSynth {
 public:
  explicit ToneSynth(double sampleRate, double edgeMs = 5.0, float amplitude = 0.5f);

  void SetKey(bool down) { key_.store(down, std::memory_order_relaxed); }
  void SetPitch(int hz) { pitch_.store(hz, std::memory_order_relaxed); }

  // Fills frames mono samples in [-1, 1].
  void Render(float* out, size_t frames) noexcept;

  double SampleRate() const { return rate_; }
  int EdgeSamples() const { return edge_; }

 private:
  std::atomic<bool> key_{false};
  std::atomic<int> pitch_{600};
  double rate_;
  int edge_;         // samples in one edge
  int edgePos_ = 0;  // 0 silent .. edge_ full tone
  double phase_ = 0;
  float amplitude_;
};

}  // namespace orvex::engine
