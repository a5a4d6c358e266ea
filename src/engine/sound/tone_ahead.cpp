#include "engine/sound/tone_ahead.h"

#include <algorithm>
#include <cmath>

namespace orvex::engine {

ToneAhead::ToneAhead(double sampleRate, double edgeMs, float amplitude)
    : rate_(sampleRate),
      amplitude_(amplitude),
      block_(std::max<int64_t>(1, std::llround(sampleRate / 4000))),
      voice_(ToneVoice::WithEdge(sampleRate, edgeMs)) {}

void ToneAhead::Push(const Command& command) noexcept {
  if (command.kind == Kind::Plan || command.kind == Kind::Now)
    latest_.store(command.down, std::memory_order_relaxed);
  const uint64_t head = head_.load(std::memory_order_relaxed);
  if (head - tail_.load(std::memory_order_acquire) >= kCommands) {
    overflowed_.store(true, std::memory_order_release);
    return;
  }
  commands_[head % kCommands] = command;
  head_.store(head + 1, std::memory_order_release);
}

void ToneAhead::DropFrom(int64_t atNs) noexcept {
  while (count_ > 0 && changes_[(first_ + count_ - 1) % kChanges].atNs >= atNs) --count_;
}

void ToneAhead::Add(const Change& change) noexcept {
  DropFrom(change.atNs);     // a plan replaces whatever was planned from then on
  if (count_ == kChanges) {  // cannot happen with plans a few hundred ms ahead
    first_ = (first_ + 1) % kChanges;
    --count_;
  }
  changes_[(first_ + count_) % kChanges] = change;
  ++count_;
}

int64_t ToneAhead::Redo() noexcept {
  int64_t redo = kNever;
  const uint64_t head = head_.load(std::memory_order_acquire);
  for (uint64_t i = tail_.load(std::memory_order_relaxed); i != head; ++i)
    if (commands_[i % kCommands].kind != Kind::Through)
      redo = std::min(redo, commands_[i % kCommands].atNs);
  takeTo_ = head;
  // Commands were lost (nobody rendered for a while): only where the key
  // is now can be trusted.
  if (overflowed_.load(std::memory_order_acquire)) redo = 0;
  return redo;
}

void ToneAhead::Take() noexcept {
  uint64_t tail = tail_.load(std::memory_order_relaxed);
  for (; tail != takeTo_; ++tail) {
    const Command c = commands_[tail % kCommands];
    switch (c.kind) {
      case Kind::Plan:
        Add({c.down, true, c.atNs});
        break;
      case Kind::Unplan:
        DropFrom(c.atNs);
        through_ = std::min(through_, c.atNs);
        break;
      case Kind::Through:
        through_ = c.atNs;
        break;
      case Kind::Now:
        Add({c.down, false, c.atNs});
        through_ = c.atNs;
        break;
      case Kind::Shift:
        // Only what is still to be rendered moves; what sounded stays sounded.
        for (size_t i = 0; i < count_; ++i)
          if (Change& change = changes_[(first_ + i) % kChanges]; change.atNs >= c.atNs)
            change.atNs += c.byNs;
        if (through_ >= c.atNs) through_ += c.byNs;
        break;
    }
  }
  tail_.store(tail, std::memory_order_release);
  if (overflowed_.exchange(false, std::memory_order_acq_rel)) {
    count_ = 0;
    through_ = 0;
    Add({latest_.load(std::memory_order_relaxed), false, 0});
  }
}

int64_t ToneAhead::GoBack(int64_t n, int64_t earliest) noexcept {
  // The block holding n, unless that starts before earliest or before the
  // oldest block still kept.
  auto firstBlockFrom = [&](int64_t sample) {
    return (std::max<int64_t>(sample, 0) + block_ - 1) / block_ * block_;
  };
  const int64_t oldest = written_ - static_cast<int64_t>(kMarks - 1) * block_;
  const int64_t at =
      std::max({n / block_ * block_, firstBlockFrom(earliest), firstBlockFrom(oldest)});
  if (at >= written_) return written_;
  const Mark& mark = marks_[static_cast<size_t>(at / block_) % kMarks];
  if (mark.sample != at) return written_;  // not kept: nothing to go back to
  voice_ = mark.voice;
  written_ = at;
  // The changes rendered from there on are to come again, before the rest.
  while (renderedCount_ > 0) {
    const size_t last = (renderedNext_ + kChanges - 1) % kChanges;
    if (rendered_[last].sample < at) break;
    if (count_ < kChanges) {
      first_ = (first_ + kChanges - 1) % kChanges;
      changes_[first_] = rendered_[last].change;
      ++count_;
    }
    renderedNext_ = last;
    --renderedCount_;
  }
  return at;
}

void ToneAhead::Render(float* out, size_t frames, int64_t firstNs) noexcept {
  const double step = Step(pitch_.load(std::memory_order_relaxed), rate_);
  const double level = amplitude_ * volume_.load(std::memory_order_relaxed);
  const double nsPerSample = 1e9 / rate_;
  size_t done = 0;
  while (done < frames) {
    // Up to the next block start or the next change, whichever is first.
    const int64_t sample = written_;
    if (sample % block_ == 0)
      marks_[static_cast<size_t>(sample / block_) % kMarks] = {sample, voice_};
    size_t until = std::min<size_t>(frames, done + static_cast<size_t>(block_ - sample % block_));
    while (count_ > 0) {
      const Change& change = changes_[first_];
      const double due = static_cast<double>(change.atNs - firstNs) / nsPerSample;
      if (due > static_cast<double>(done)) {  // a later sample's
        until = static_cast<size_t>(std::min<double>(static_cast<double>(until), std::ceil(due)));
        break;
      }
      // Due on this sample, or on one rendered for good before this call:
      // it sounds from here.
      if (change.planned && due < -1.0) late_.fetch_add(1, std::memory_order_relaxed);
      voice_.down = change.down;
      rendered_[renderedNext_] = {change, written_};
      renderedNext_ = (renderedNext_ + 1) % kChanges;
      renderedCount_ = std::min(renderedCount_ + 1, kChanges);
      first_ = (first_ + 1) % kChanges;
      --count_;
    }
    voice_.Shape(out + done, until - done, step, level);
    written_ += static_cast<int64_t>(until - done);
    done = until;
  }
}

}  // namespace orvex::engine
