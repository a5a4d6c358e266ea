#include "engine/tone_synth.h"

#include <cmath>

namespace orvex::engine {

ToneSynth::ToneSynth(double sampleRate, double edgeMs, float amplitude)
    : rate_(sampleRate),
      edge_(static_cast<int>(std::lround(sampleRate * edgeMs / 1000.0))),
      amplitude_(amplitude) {
  if (edge_ < 1) edge_ = 1;
}

void ToneSynth::Render(float* out, size_t frames) noexcept {
  const bool down = key_.load(std::memory_order_relaxed);
  const int hz = pitch_.load(std::memory_order_relaxed);
  const double step = 2.0 * M_PI * (hz > 0 ? hz : 0) / rate_;
  for (size_t i = 0; i < frames; ++i) {
    if (down && edgePos_ < edge_) ++edgePos_;
    if (!down && edgePos_ > 0) --edgePos_;
    if (edgePos_ == 0) {
      out[i] = 0.0f;
      phase_ = 0;  // every tone starts at a zero crossing
      continue;
    }
    const double envelope = 0.5 - 0.5 * std::cos(M_PI * edgePos_ / edge_);
    out[i] = static_cast<float>(amplitude_ * envelope * std::sin(phase_));
    phase_ += step;
    if (phase_ >= 2.0 * M_PI) phase_ -= 2.0 * M_PI;
  }
}

}  // namespace orvex::engine
