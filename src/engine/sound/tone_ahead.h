// The sidetone rendered ahead of the key.
//
// When the elements to come are known, the engine plans their key changes
// before the key moves (Plan), and an output with a stream buffer renders
// their tone ahead of time, each edge on the sample heard at the moment the
// key line moves. A stall of the sound side shorter than what is rendered
// ahead then changes nothing heard.
//
// Plans that stop holding are dropped (Unplan, Now: a stop) or moved
// (Shift: the run was re-based after a late wake of the timing thread), and
// the sound already made for them is made again from the first sample that
// can still be changed. A change moved by a shift that had already sounded
// is not sounded again: the tone stays one per key-down. The renderer keeps
// its state at the start of every block it rendered, and the changes it
// rendered, so it can go back to any block and go on from there without a
// click.
//
// Threads: the producer (the engine, under its line lock) pushes commands
// into a fixed lock-free queue; the writer (the output's own thread) takes
// them and renders. Neither side allocates, locks or blocks.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "engine/sound/tone_synth.h"

namespace orvex::engine {

class ToneAhead {
 public:
  static constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

  explicit ToneAhead(double sampleRate, double edgeMs = 5.0, float amplitude = 0.5f);

  // Producer side, one thread at a time. Plans come in time order.
  void Plan(bool down, int64_t atNs) noexcept { Push({Kind::Plan, down, atNs}); }
  // What was planned from fromNs on no longer holds.
  void Unplan(int64_t fromNs) noexcept { Push({Kind::Unplan, false, fromNs}); }
  // What was planned from fromNs on comes byNs later.
  void Shift(int64_t fromNs, int64_t byNs) noexcept { Push({Kind::Shift, false, fromNs, byNs}); }
  // The key is known up to throughNs: past the last change planned it stays.
  void Through(int64_t throughNs) noexcept { Push({Kind::Through, false, throughNs}); }
  // The key changed at atNs without a plan (a stop): everything planned is
  // dropped and the tone follows as soon as it can.
  void Now(bool down, int64_t atNs) noexcept { Push({Kind::Now, down, atNs}); }
  void SetPitch(int hz) { pitch_.store(hz, std::memory_order_relaxed); }
  void SetVolume(int percent) { volume_.store(VolumeLevel(percent), std::memory_order_relaxed); }
  // Set by the producer when the queue overflowed (nobody rendered for a
  // while): the writer then ends the tone where the key is.

  // Writer side. Looks at the producer's commands: the earliest time whose
  // sound must be made again if it was already rendered (kNever: none).
  int64_t Redo() noexcept;
  // Takes the commands Redo looked at (call GoBack between the two).
  void Take() noexcept;
  // Up to when the key is known.
  int64_t KnownThrough() const { return through_; }
  // The next sample to render, counted from the stream's first.
  int64_t Written() const { return written_; }
  // Goes back to the start of the block holding sample n, or to the first
  // block start at or after earliest (the first sample that can still be
  // changed) when that is later, and returns it (Written() when there is
  // nothing to go back to): rendering goes on from there, and the changes
  // rendered from there on are planned again.
  int64_t GoBack(int64_t n, int64_t earliest) noexcept;
  // Renders frames samples from Written(); the first is heard at firstNs.
  void Render(float* out, size_t frames, int64_t firstNs) noexcept;
  // Planned edges whose sample had already been rendered for good, and
  // changes the writer came too late to write again cleanly (CountLate).
  uint64_t LateEdges() const { return late_.load(std::memory_order_relaxed); }
  void CountLate() noexcept { late_.fetch_add(1, std::memory_order_relaxed); }

 private:
  enum class Kind : uint8_t { Plan, Unplan, Through, Now, Shift };
  struct Command {
    Kind kind;
    bool down;
    int64_t atNs;
    int64_t byNs = 0;
  };
  struct Change {
    bool down;
    bool planned;  // a Now change is late by nature, not counted
    int64_t atNs;
  };
  struct Rendered {
    Change change;
    int64_t sample;  // where it took effect
  };
  struct Mark {
    int64_t sample = -1;
    ToneVoice voice;
  };
  static constexpr uint64_t kCommands = 512;
  static constexpr size_t kChanges = 256;
  static constexpr size_t kMarks = 2048;  // blocks kept to go back to: 512 ms

  void Push(const Command& command) noexcept;
  void DropFrom(int64_t atNs) noexcept;
  void Add(const Change& change) noexcept;

  std::array<Command, kCommands> commands_{};
  std::atomic<uint64_t> head_{0}, tail_{0};
  std::atomic<bool> overflowed_{false};
  std::atomic<bool> latest_{false};  // the key as last told, kept through an overflow
  std::atomic<int> pitch_{600};
  std::atomic<float> volume_{1.0f};
  std::atomic<uint64_t> late_{0};

  // The writer's own.
  double rate_;
  float amplitude_;
  int64_t block_;                           // samples per block: a quarter of a ms
  std::array<Change, kChanges> changes_{};  // planned, not yet rendered, in time order
  size_t first_ = 0, count_ = 0;
  std::array<Rendered, kChanges> rendered_{};  // the latest rendered, oldest first
  size_t renderedCount_ = 0, renderedNext_ = 0;
  uint64_t takeTo_ = 0;  // the commands Redo looked at
  int64_t through_ = 0;
  std::array<Mark, kMarks> marks_{};
  int64_t written_ = 0;
  ToneVoice voice_;
};

}  // namespace orvex::engine
