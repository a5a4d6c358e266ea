#include "engine/timing/paddle_keyer.h"

#include <pthread.h>

#include <algorithm>
#include <cerrno>

#include "base/clock.h"
#include "engine/system/engine_clock.h"
#include "engine/system/realtime.h"

namespace orvex::engine {
namespace {

// A contact bounces for a few ms after it moves: its first edge counts at
// once, then it is read again only after this.
constexpr int64_t kBounceNs = 5'000'000;
// The next stroke is chosen this long before the one in progress ends, so
// the engine has it in time; a press up to the end still counts (chosen
// again when nothing was).
constexpr int64_t kDecideNs = 3'000'000;
// While the engine has not yet begun a stroke (PTT's lead) or not yet
// passed its end, look again this often.
constexpr int64_t kLookNs = 500'000;

}  // namespace

PaddleKeyer::PaddleKeyer(KeyerEngine& engine, const PaddleSetup& setup)
    : engine_(engine),
      setup_(setup),
      ditBit_(StatusLineBit(setup.dit)),
      dahBit_(StatusLineBit(setup.dah)),
      logic_(setup.mode),
      decoder_(engine.UnitNs()) {}

Result PaddleKeyer::Open(KeyerEngine& engine, const PaddleSetup& setup,
                         std::unique_ptr<PaddleKeyer>* opened) {
  std::unique_ptr<PaddleKeyer> paddle(new PaddleKeyer(engine, setup));
  if (paddle->ditBit_ == 0 || paddle->dahBit_ == 0 || paddle->ditBit_ == paddle->dahBit_)
    return Result::Refused("the paddle's dit and dah must be two of CTS, DSR, DCD and RI");
  const int mask = paddle->ditBit_ | paddle->dahBit_;
  Result watched;
  if (setup.device.empty()) {
    const int fd = engine.DupStatusFd();
    if (fd < 0)
      return Result::Refused(
          "a paddle reads a serial port's status lines: the CW port must be COM1 to COM8 or a "
          "serial device, or PaddlePort must name one");
    watched = StatusLines::Watch(fd, mask, &paddle->wake_, &paddle->lines_);
  } else {
    watched = StatusLines::Open(setup.device, mask, &paddle->wake_, &paddle->lines_);
  }
  if (!watched.ok()) return watched;
  PaddleKeyer* self = paddle.get();
  self->thread_ = std::thread([self] { self->Run(); });
  *opened = std::move(paddle);
  return {};
}

PaddleKeyer::~PaddleKeyer() {
  stop_ = true;
  wake_.fetch_add(1);
  WakeAll(wake_);
  if (thread_.joinable()) thread_.join();
  lines_.reset();
  // Whatever the hand held is let go.
  if (held_) engine_.HandKey(false);
  engine_.SetHand(false);
}

std::string PaddleKeyer::TakeText() {
  std::string text;
  const uint64_t head = saidHead_.load(std::memory_order_acquire);
  uint64_t tail = saidTail_.load(std::memory_order_relaxed);
  for (; tail != head; ++tail) text += said_[tail % said_.size()];
  saidTail_.store(tail, std::memory_order_release);
  return text;
}

void PaddleKeyer::Say(const char* chars, int n) {
  for (int i = 0; i < n; ++i) {
    const uint64_t head = saidHead_.load(std::memory_order_relaxed);
    if (head - saidTail_.load(std::memory_order_acquire) >= said_.size()) return;  // nobody reads
    said_[head % said_.size()] = chars[i];
    saidHead_.store(head + 1, std::memory_order_release);
  }
}

int64_t PaddleKeyer::MarkNs(Stroke stroke) const {
  // Weighting as for text: the mark longer by 2 x (weight - 50) % of a
  // unit, the space after it shorter by as much.
  const int64_t unit = engine_.UnitNs();
  const int64_t weight = unit * 2 * (std::clamp(weight_.load(), 10, 90) - 50) / 100;
  return (stroke == Stroke::Dah ? 3 : 1) * unit + weight;
}

int64_t PaddleKeyer::SpaceNs() const {
  const int64_t unit = engine_.UnitNs();
  return unit - unit * 2 * (std::clamp(weight_.load(), 10, 90) - 50) / 100;
}

void PaddleKeyer::Run() {
  pthread_setname_np(pthread_self(), "orvex-hand");
  (void)MakeThisThreadRealtime();
  MonotonicEngineClock clock;
  while (!stop_) {
    const uint32_t seen = wake_.load();
    const int64_t now = clock.Now();
    if (setup_.mode != PaddleMode::Straight) decoder_.SetUnit(engine_.UnitNs());
    // About to choose: the thread that waits for the lines may have missed
    // a change that came between its read and its next wait (a squeeze let
    // go there would go on for ever): read them again now.
    if (current_ != Stroke::None && next_ == Stroke::None && now >= strokeEnd_ - kDecideNs)
      (void)lines_->ReadNow();
    Contacts(now);
    Follow(now);
    const bool busy = current_ != Stroke::None || held_ || dahWaits_;
    if (!busy) {
      char chars[2];
      Say(chars, decoder_.Quiet(now, chars));
    }
    // The hand lets go once it has been quiet for a word's space: until
    // then nothing else keys between its characters.
    const int64_t letGo = quietSince_ + 7 * engine_.UnitNs();
    const bool touching = accepted_[0] || accepted_[1];
    if (engine_.HandActive() && !busy && !touching && now >= letGo && engine_.Pending() == 0)
      engine_.SetHand(false);
    int64_t deadline = busy || !engine_.HandActive() ? kNoDeadline : std::max(letGo, now + kLookNs);
    if (current_ != Stroke::None)
      deadline = next_ == Stroke::None && now < strokeEnd_ - kDecideNs ? strokeEnd_ - kDecideNs
                                                                       : now + kLookNs;
    if (!busy) deadline = std::min(deadline, decoder_.NextNs());
    for (int i = 0; i < 2; ++i)
      if (now < settled_[i]) deadline = std::min(deadline, settled_[i]);
    clock.WaitUntil(deadline, wake_, seen);
  }
}

void PaddleKeyer::Contacts(int64_t now) {
  const int bits = lines_->Last().bits;
  bool raw[2] = {(bits & ditBit_) != 0, (bits & dahBit_) != 0};
  if (setup_.swap) std::swap(raw[0], raw[1]);
  bool changed = false;
  for (int i = 0; i < 2; ++i)
    if (raw[i] != accepted_[i] && now >= settled_[i]) {
      accepted_[i] = raw[i];
      settled_[i] = now + kBounceNs;
      changed = true;
    }
  if (!changed) return;
  // Touched while something else keys: the hand breaks in.
  if (!engine_.HandActive() && (accepted_[0] || accepted_[1]) && engine_.SetHand(true))
    breakIns_.fetch_add(1);
  if (setup_.mode == PaddleMode::Straight) {
    if (accepted_[0] == held_) return;
    held_ = accepted_[0];
    engine_.HandKey(held_);
    if (held_) {
      heldSince_ = now;
    } else {
      decoder_.KeyMark(heldSince_, now);
      quietSince_ = now;
    }
    return;
  }
  if (setup_.mode == PaddleMode::Bug) {
    // The dah contact keys directly, once the dit in progress has ended.
    if (accepted_[1] && !held_ && !dahWaits_) {
      if (current_ == Stroke::None) {
        held_ = true;
        heldSince_ = now;
        engine_.HandKey(true);
      } else {
        dahWaits_ = true;
      }
    } else if (!accepted_[1] && dahWaits_) {
      dahWaits_ = false;
    } else if (!accepted_[1] && held_) {
      held_ = false;
      engine_.HandKey(false);
      decoder_.StrokeMark(true, now);
      quietSince_ = now;
    }
    logic_.Contacts(accepted_[0], false);
  } else {
    logic_.Contacts(accepted_[0], accepted_[1]);
  }
  if (current_ == Stroke::None && !held_) {
    if (const Stroke stroke = logic_.Next(); stroke != Stroke::None) Begin(stroke, now);
  } else if (current_ != Stroke::None && next_ == Stroke::None && now >= strokeEnd_ - kDecideNs) {
    Decide();
  }
}

bool PaddleKeyer::Unmoved(int64_t since) const {
  return settled_[0] - kBounceNs <= since && settled_[1] - kBounceNs <= since;
}

void PaddleKeyer::Begin(Stroke stroke, int64_t now) {
  mark_ = engine_.Queued();
  engine_.HandElement(true, MarkNs(stroke));
  engine_.HandElement(false, SpaceNs());
  if (engine_.Queued() != mark_ + 2) return;  // the engine keys nothing (closed, failed)
  current_ = stroke;
  next_ = Stroke::None;
  logic_.Began(stroke);
  strokeEnd_ = now + MarkNs(stroke) + SpaceNs();
  decoder_.StrokeMark(stroke == Stroke::Dah, now + MarkNs(stroke));
}

void PaddleKeyer::Decide() {
  if (dahWaits_) return;  // the bug's dah goes once this dit has ended
  const Stroke stroke = logic_.Next();
  if (stroke == Stroke::None) return;
  nextMark_ = engine_.Queued();
  // It is due as the stroke in progress ends, unless the hand moved after
  // the moment to choose: handed over later (this thread was held), the
  // engine counts it late; a late press is the hand's own timing.
  engine_.HandElement(true, MarkNs(stroke), Unmoved(strokeEnd_ - kDecideNs) ? strokeEnd_ : 0);
  engine_.HandElement(false, SpaceNs());
  if (engine_.Queued() == nextMark_ + 2) next_ = stroke;
}

void PaddleKeyer::Follow(int64_t now) {
  if (current_ == Stroke::None) return;
  // Where the engine really keys the stroke (a PTT lead delays the first).
  int64_t at = 0;
  if (engine_.PlayingSince(mark_, &at))
    strokeEnd_ = at + MarkNs(current_) + SpaceNs();
  else if (engine_.PlayingSince(mark_ + 1, &at))
    strokeEnd_ = at + SpaceNs();
  if (next_ == Stroke::None && now >= strokeEnd_ - kDecideNs) Decide();
  if (engine_.Ended() <= mark_ + 1) return;  // its space still runs
  const int64_t end = std::min(strokeEnd_, now);
  if (next_ != Stroke::None) {
    current_ = next_;
    next_ = Stroke::None;
    mark_ = nextMark_;
    logic_.Began(current_);
    strokeEnd_ = end + MarkNs(current_) + SpaceNs();
    decoder_.StrokeMark(current_ == Stroke::Dah, end + MarkNs(current_));
    return;
  }
  logic_.Ended();
  current_ = Stroke::None;
  quietSince_ = end - SpaceNs();
  if (dahWaits_) {
    dahWaits_ = false;
    held_ = true;
    heldSince_ = now;
    engine_.HandKey(true);
  } else if (const Stroke stroke = logic_.Next(); stroke != Stroke::None) {
    Begin(stroke, now);  // pressed too late for the run to go on
  }
}

}  // namespace orvex::engine
