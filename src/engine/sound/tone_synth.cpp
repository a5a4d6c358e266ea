#include "engine/sound/tone_synth.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace orvex::engine {
ToneSynth::ToneSynth(double sampleRate, double edgeMs, float amplitude)
    : rate_(sampleRate), voice_(ToneVoice::WithEdge(sampleRate, edgeMs)), amplitude_(amplitude) {}

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
  const double step = Step(pitch_.load(std::memory_order_relaxed), rate_);
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
    voice_.Shape(out + done, at - done, step, Level());
    done = at;
    voice_.down = change.down;
    tail_.store(++tail, std::memory_order_release);
  }
  // Changes were lost to a full queue (nobody rendered for a while): once
  // the rest is played, the tone goes where the key is.
  if (tail == head_.load(std::memory_order_acquire) &&
      overflowed_.exchange(false, std::memory_order_acq_rel))
    voice_.down = latest_.load(std::memory_order_acquire);
  voice_.Shape(out + done, frames - done, step, Level());
}

void ToneVoice::Shape(float* out, size_t frames, double step, double level) noexcept {
  for (size_t i = 0; i < frames; ++i) {
    if (down && edgePos < edge) ++edgePos;
    if (!down && edgePos > 0) --edgePos;
    if (edgePos == 0) {
      out[i] = 0.0f;
      phase = 0;  // every tone starts at a zero crossing
      continue;
    }
    const double envelope = 0.5 - 0.5 * std::cos(M_PI * edgePos / edge);
    out[i] = static_cast<float>(level * envelope * std::sin(phase));
    phase += step;
    if (phase >= 2.0 * M_PI) phase -= 2.0 * M_PI;
  }
}

int64_t StreamClock::Next(int64_t estimateNs) noexcept {
  const double estimate = static_cast<double>(estimateNs);
  const double count = static_cast<double>(count_);
  if (!started_ || (std::fabs(estimate - Fit(count)) > kJumpNs && ++far_ >= jumpReadings_)) {
    // The first reading, or far off reading after reading: the stream
    // really moved (it ran dry and started again). The fit starts afresh.
    started_ = true;
    far_ = 0;
    weight_ = 0;
    meanX_ = count;
    meanY_ = estimate;
    varX_ = covXY_ = 0;
  } else if (std::fabs(estimate - Fit(count)) <= kJumpNs) {
    // The reading joins a straight line through the readings, the older
    // ones counting less and less (a few seconds' worth count): its slope
    // is the stream's own rate against this clock, its height where the
    // stream stands; one reading's jitter moves neither much.
    far_ = 0;
    weight_ = weight_ * kForget + 1;
    const double dx = count - meanX_;
    meanX_ += dx / weight_;
    meanY_ += (estimate - meanY_) / weight_;
    varX_ = varX_ * kForget + dx * (count - meanX_);
    covXY_ = covXY_ * kForget + dx * (estimate - meanY_);
  }  // else one odd reading: ignored
  return static_cast<int64_t>(std::llround(Fit(count)));
}

double StreamClock::Fit(double count) const noexcept {
  // The slope once the readings span a second of samples, and within 0.2 %
  // of the nominal rate; the nominal rate before that.
  const double nominal = 1e9 / rate_;
  double slope = nominal;
  if (varX_ > rate_ * rate_ / 4 * weight_ / 16)
    slope = std::clamp(covXY_ / varX_, nominal * 0.998, nominal * 1.002);
  return meanY_ + slope * (count - meanX_);
}

}  // namespace orvex::engine
