#include "engine/tone_synth.h"

#include <cmath>
#include <cstdlib>

namespace orvex::engine {
namespace {

constexpr double kJumpNs = 1.5e6;  // an estimate this far off is a real jump
constexpr double kLean = 1.0 / 16;
constexpr int kJumpBuffers = 3;  // readings in a row that make a jump

}  // namespace

ToneSynth::ToneSynth(double sampleRate, double edgeMs, float amplitude)
    : rate_(sampleRate),
      edge_(static_cast<int>(std::lround(sampleRate * edgeMs / 1000.0))),
      amplitude_(amplitude) {
  if (edge_ < 1) edge_ = 1;
}

void ToneSynth::SetKey(bool down, int64_t atNs) noexcept {
  latest_.store(down, std::memory_order_release);
  const uint64_t head = head_.load(std::memory_order_relaxed);
  if (head - tail_.load(std::memory_order_acquire) >= kChanges) {
    overflowed_.store(true, std::memory_order_release);  // latest_ keeps the key
    return;
  }
  changes_[head % kChanges] = {down, atNs};
  head_.store(head + 1, std::memory_order_release);
}

void ToneSynth::Render(float* out, size_t frames, int64_t firstSampleNs) noexcept {
  const int hz = pitch_.load(std::memory_order_relaxed);
  const double step = 2.0 * M_PI * (hz > 0 ? hz : 0) / rate_;
  const double nsPerSample = 1e9 / rate_;
  size_t done = 0;
  uint64_t tail = tail_.load(std::memory_order_relaxed);
  while (tail != head_.load(std::memory_order_acquire)) {
    const Change change = changes_[tail % kChanges];
    const int64_t delay = delayNs_.load(std::memory_order_relaxed);
    const double due = static_cast<double>(change.atNs + delay - firstSampleNs) / nsPerSample;
    if (due >= static_cast<double>(frames)) break;  // a later buffer's
    size_t at = done;
    if (due < static_cast<double>(done)) {
      // Too late for its sample (the stream stalled, or the key changed
      // while a buffer was already on its way): heard at once.
      if (done == 0) late_.fetch_add(1, std::memory_order_relaxed);
    } else {
      at = static_cast<size_t>(std::ceil(due));
      if (at > frames) at = frames;
    }
    Synthesise(out + done, at - done, down_, step);
    done = at;
    down_ = change.down;
    tail_.store(++tail, std::memory_order_release);
  }
  // Changes were lost to a full queue (nobody rendered for a while): once
  // the rest is played, the tone goes where the key is.
  if (tail == head_.load(std::memory_order_acquire) &&
      overflowed_.exchange(false, std::memory_order_acq_rel))
    down_ = latest_.load(std::memory_order_acquire);
  Synthesise(out + done, frames - done, down_, step);
}

void ToneSynth::Synthesise(float* out, size_t frames, bool down, double step) noexcept {
  const double level = amplitude_ * volume_.load(std::memory_order_relaxed);
  for (size_t i = 0; i < frames; ++i) {
    if (down && edgePos_ < edge_) ++edgePos_;
    if (!down && edgePos_ > 0) --edgePos_;
    if (edgePos_ == 0) {
      out[i] = 0.0f;
      phase_ = 0;  // every tone starts at a zero crossing
      continue;
    }
    const double envelope = 0.5 - 0.5 * std::cos(M_PI * edgePos_ / edge_);
    out[i] = static_cast<float>(level * envelope * std::sin(phase_));
    phase_ += step;
    if (phase_ >= 2.0 * M_PI) phase_ -= 2.0 * M_PI;
  }
}

int64_t StreamClock::FirstSample(int64_t estimateNs, size_t frames) noexcept {
  const double estimate = static_cast<double>(estimateNs);
  if (!started_) {
    next_ = estimate;
    started_ = true;
  } else if (std::fabs(estimate - next_) <= kJumpNs) {
    next_ += (estimate - next_) * kLean;
    far_ = 0;
  } else if (++far_ >= kJumpBuffers) {
    // Far off buffer after buffer: the stream really moved (it ran dry and
    // started again).
    next_ = estimate;
    far_ = 0;
  }  // else one odd reading: ignored
  const double first = next_;
  next_ += static_cast<double>(frames) * 1e9 / rate_;
  return static_cast<int64_t>(std::llround(first));
}

}  // namespace orvex::engine
