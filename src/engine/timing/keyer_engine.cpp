#include "engine/timing/keyer_engine.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "engine/system/emergency.h"

namespace orvex::engine {
namespace {

// Lateness below this keeps a run on its planned times (the wake-up of an
// exact wait is a few microseconds late every time; re-basing on each would
// make the run drift). Above it a change is keyed from now, in full, and
// counted late.
constexpr int64_t kLateNs = 500'000;

// The timing thread's stack and data in memory before it keys, so a page
// fault never delays an element; locked where the limits allow.
void PrefaultAndLock(const void* data, size_t size) {
  volatile char stack[64 * 1024];
  for (size_t i = 0; i < sizeof stack; i += 4096) stack[i] = 0;
  const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto top = reinterpret_cast<uintptr_t>(&stack[0]) & ~(page - 1);
  mlock(reinterpret_cast<void*>(top), sizeof stack + page);
  mlock(data, size);
}

}  // namespace

std::unique_ptr<KeyLog> KeyLogOrSay(const char* program) {
  std::unique_ptr<KeyLog> log;
  if (const Result opened = KeyLog::FromEnvironment(&log); opened.failed())
    std::fprintf(stderr, "%s: can't open the key log ORVEX_KEYER_LOG=%s: %s\n", program,
                 std::getenv("ORVEX_KEYER_LOG"), opened.Description().c_str());
  return log;
}

PiMutex::PiMutex() {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_setprotocol(&attr, PTHREAD_PRIO_INHERIT);
  pthread_mutex_init(&mutex_, &attr);
  pthread_mutexattr_destroy(&attr);
}
PiMutex::~PiMutex() {
  pthread_mutex_destroy(&mutex_);
}
void PiMutex::lock() {
  pthread_mutex_lock(&mutex_);
}
void PiMutex::unlock() {
  pthread_mutex_unlock(&mutex_);
}

KeyerEngine::KeyerEngine(EngineOutputs outputs, std::unique_ptr<KeyLog> log, EngineClock* clock)
    : outputs_(std::move(outputs)), log_(std::move(log)), clock_(clock ? *clock : systemClock_) {
  emergency::RegisterWake(&wake_);
}

KeyerEngine::~KeyerEngine() {
  Close();
  emergency::UnregisterWake(&wake_);
}

Result KeyerEngine::Open(int port, LineChoice lines) {
  emergency::InstallHandlers();
  // The new line first: a port that cannot be opened leaves the one that
  // was open keying.
  std::unique_ptr<KeyLine> line;
  const Result opened = outputs_.openKeyLine(port, lines, &line);
  if (!opened.ok()) return opened;
  if (!line) return Result::FromErrno(Fault::Open, ENODEV);
  line->AllUp();
  Close();
  {
    PiLock lock(lineMu_);
    line_ = std::move(line);
    open_ = true;
    keyLineOn_ = keyDown_ = pttOn_ = false;
    hold_.Drop();
    DropQueue();
    stopsSeen_ = emergency::Stops();  // a stop before this open has nothing to drop
    emergency::StopHandled(stopsSeen_);
  }
  stop_ = false;
  active_ = interrupted_ = false;
  lineError_ = 0;
  inRun_ = false;
  nextChange_ = kNoDeadline;
  if (!clock_.Manual()) thread_ = std::thread([this] { Run(); });
  return {};
}

void KeyerEngine::Close() {
  {
    PiLock lock(lineMu_);
    if (!open_) return;
    DropQueue();
    AllUp();
    active_ = false;
    stop_ = true;
  }
  Wake();
  if (thread_.joinable()) thread_.join();
  std::unique_ptr<KeyLine> line;
  std::unique_ptr<Sidetone> sidetone;
  {
    PiLock lock(lineMu_);
    line = std::move(line_);
    sidetone = std::move(sidetone_);
    sidetoneDevice_ = SidetoneDevice::None;
    open_ = false;
  }
  // Destroyed outside the lock: closing a sound stream can take a while.
  line.reset();
  sidetone.reset();
  if (log_) log_->Flush();
}

void KeyerEngine::DropQueue() {
  dropTo_.store(head_.load());
  generation_.fetch_add(1);
}

void KeyerEngine::Wake() {
  wake_.fetch_add(1);
  WakeAll(wake_);
}

void KeyerEngine::Abort() {
  {
    PiLock lock(lineMu_);
    CatchStop();
    DropQueue();
    // Raised here, in the caller's thread, rather than when the timing
    // thread next wakes: the stop is as quick as one ioctl.
    AllUp();
    active_ = interrupted_ = false;
  }
  Wake();
}

void KeyerEngine::CatchStop() {
  const uint32_t stops = emergency::Stops();
  if (stops == stopsSeen_) return;
  stopsSeen_ = stops;
  DropQueue();
  AllUp();
  active_ = false;
  interrupted_ = true;
  // Only now may lines be switched again: nothing of the queue is left.
  emergency::StopHandled(stops);
}

int KeyerEngine::Pending() const {
  const uint64_t done = std::max(tail_.load(), dropTo_.load());
  const uint64_t head = head_.load();
  return head > done ? static_cast<int>(head - done) : 0;
}

int64_t KeyerEngine::QueuedNs() const {
  int64_t total = 0;
  const uint64_t head = head_.load();
  for (uint64_t i = Ended(); i < head; ++i) total += Length(ring_[i % kRing]);
  return total;
}

void KeyerEngine::Push(const Item& item) {
  PiLock producer(pushMu_);
  // While the hand keys, nothing else is: text that raced its touch is not
  // keyed after it.
  if (handActive_ && !item.hand) return;
  if (emergency::Stops() != stopsSeen_) {
    PiLock lock(lineMu_);
    CatchStop();
  }
  if (!IsOpen() || lineError_ != 0 || interrupted_ || Pending() >= static_cast<int>(kRing) - 1)
    return;
  const uint64_t head = head_.load(std::memory_order_relaxed);
  ring_[head % kRing] = item;
  if (item.held) lastHeld_ = head + 1;
  head_.store(head + 1, std::memory_order_release);
  // Something happens now, before the timing thread has woken to say when.
  int64_t idle = kNoDeadline;
  nextChange_.compare_exchange_strong(idle, clock_.Now());
  active_ = true;
  Wake();
}

void KeyerEngine::Element(bool keyDown, int units) {
  if (units > 0) Push({keyDown, units, 0});
}

void KeyerEngine::ElementNs(bool keyDown, int64_t ns) {
  if (ns > 0) Push({keyDown, 0, ns});
}

void KeyerEngine::Tune(int ms) {
  if (ms > 0) Push({true, 0, static_cast<int64_t>(ms) * 1'000'000});
}

void KeyerEngine::HandElement(bool keyDown, int64_t ns, int64_t dueNs) {
  if (ns > 0) Push({keyDown, 0, ns, true, false, dueNs});
}

void KeyerEngine::HandKey(bool down) {
  if (down) {
    Push({true, 0, kHeldNs, true, true});
    return;
  }
  {
    PiLock producer(pushMu_);
    releasedAt_ = clock_.Now();
    released_ = lastHeld_;
  }
  Wake();
}

bool KeyerEngine::SetHand(bool active) {
  bool brokeIn = false;
  {
    PiLock producer(pushMu_);
    handActive_ = active;
    if (active && Pending() > 0 && open_) {
      PiLock lock(lineMu_);
      brokeAt_.store(tail_.load());
      DropQueue();
      Key(false);
      brokeIn = true;
    }
  }
  if (brokeIn) Wake();
  return brokeIn;
}

bool KeyerEngine::PlayingSince(uint64_t element, int64_t* atNs) const {
  // Read between two reads of the number: a pair from one element.
  if (playing_.load() != element + 1 || Ended() > element) return false;
  *atNs = playingAt_.load();
  return playing_.load() == element + 1;
}

int KeyerEngine::DupStatusFd() {
  PiLock lock(lineMu_);
  return line_ ? line_->DupStatusFd() : -1;
}

bool KeyerEngine::WaitReleased(uint64_t element, uint64_t generation) {
  while (!stop_ && generation_ == generation && emergency::Stops() == stopsSeen_) {
    const uint32_t seen = wake_.load();
    if (released_.load() > element) return true;
    nextChange_ = kNoDeadline;
    clock_.WaitUntil(kNoDeadline, wake_, seen);
  }
  return false;
}

void KeyerEngine::SetKeyLine(bool on) {
  PiLock lock(lineMu_);
  if (!open_ || on == keyLineOn_) return;
  if (!on) {
    line_->AllUp();
    if (pttOn_ && log_) log_->Put(clock_.Now(), KeyEvent::PttOff);
    pttOn_ = false;
    keyLineOn_ = false;
    return;
  }
  keyLineOn_ = true;
  if (active_ || hold_.Held()) Ptt(true);
  if (keyDown_ && lineError_ == 0)
    if (const Result set = line_->SetKey(true); !set.ok()) Fail(set.error());
}

void KeyerEngine::SetSidetone(SidetoneDevice device) {
  {
    PiLock lock(lineMu_);
    if (!open_ || (device == sidetoneDevice_ && (device == SidetoneDevice::None || sidetone_)))
      return;
  }
  // Opening a sound device is slow: never while holding the line.
  std::unique_ptr<Sidetone> next =
      device != SidetoneDevice::None ? outputs_.openSidetone(device) : nullptr;
  {
    PiLock lock(lineMu_);
    if (!open_) return;
    const int64_t now = clock_.Now();
    if (next) {
      next->SetPitch(pitch_);
      next->SetVolume(volume_);
      next->SetKey(keyDown_, now);
    }
    if (sidetone_) sidetone_->SetKey(false, now);
    std::swap(sidetone_, next);
    sidetoneDevice_ = device;
    replan_ = true;
  }
}

SidetoneStatus KeyerEngine::SidetoneState() const {
  PiLock lock(lineMu_);
  SidetoneStatus status = sidetone_ ? sidetone_->Status() : SidetoneStatus{};
  status.lateKeys = rebases_.load(std::memory_order_relaxed);
  return status;
}

void KeyerEngine::SetTone(int hz) {
  PiLock lock(lineMu_);
  pitch_ = hz;
  if (sidetone_) sidetone_->SetPitch(hz);
}

void KeyerEngine::SetVolume(int percent) {
  PiLock lock(lineMu_);
  volume_ = std::clamp(percent, 0, 100);
  if (sidetone_) sidetone_->SetVolume(volume_);
}

void KeyerEngine::HoldPtt(bool on, int limitMs) {
  {
    PiLock lock(lineMu_);
    CatchStop();
    if (!open_ || (on && interrupted_)) return;
    const bool was = hold_.Held();
    hold_.Ask(on, int64_t{std::max(limitMs, 0)} * 1'000'000, clock_.Now());
    if (hold_.Held() == was) return;
    if (hold_.Held() && keyLineOn_) Ptt(true);
    // Released, it drops at the tail as at the end of a run; the timing
    // thread times the tail and the hold's limit.
    if (!hold_.Held() && Pending() == 0) DropPttAfterTail();
  }
  Wake();
}

bool KeyerEngine::Active() const {
  PiLock lock(lineMu_);
  return active_ || pttOn_;  // PTT held through its tail is still sending
}

void KeyerEngine::SetUnitNs(int64_t ns) {
  if (ns > 0) unitNs_ = ns;
}

void KeyerEngine::SetPttTiming(int leadMs, int tailMs) {
  leadNs_ = static_cast<int64_t>(std::max(leadMs, 0)) * 1'000'000;
  tailNs_ = static_cast<int64_t>(std::max(tailMs, 0)) * 1'000'000;
}

void KeyerEngine::Idle() {
  bool wake = false;
  {
    PiLock lock(lineMu_);
    // Elements still to play keep the transmitter on: dropping PTT under a
    // keyed line would hot-switch the radio.
    if (Pending() != 0) return;
    active_ = false;
    wake = DropPttAfterTail();
  }
  if (wake) Wake();
}

bool KeyerEngine::DropPttAfterTail() {
  if (!pttOn_ || hold_.Held()) return false;
  if (tailNs_ == 0 || clock_.Now() >= runEnd_ + tailNs_) {
    Ptt(false);
    return false;
  }
  return true;  // the timing thread drops it when the tail has passed
}

bool KeyerEngine::IsOpen() const {
  return open_;
}

Result KeyerEngine::LineError() const {
  const int err = lineError_;
  return Switched(err);
}

std::optional<ThreadPriority> KeyerEngine::Priority() const {
  PiLock lock(lineMu_);
  return priority_;
}

void KeyerEngine::Key(bool down, bool planned) {
  if (down == keyDown_ || !line_) return;
  keyDown_ = down;
  const int64_t now = clock_.Now();
  if (!down) keyUpAt_ = now;
  if (down) hold_.KeyDown();
  if (sidetone_ && !planned) sidetone_->SetKey(down, now);
  if (log_) log_->Put(now, down ? KeyEvent::KeyDown : KeyEvent::KeyUp);
  if (keyLineOn_)
    if (const Result set = line_->SetKey(down); !set.ok()) Fail(set.error());
}

void KeyerEngine::Ptt(bool on) {
  if (on == pttOn_ || lineError_ != 0 || !line_) return;
  pttOn_ = on;
  if (on) pttOnAt_ = clock_.Now();
  if (log_) log_->Put(clock_.Now(), on ? KeyEvent::PttOn : KeyEvent::PttOff);
  if (pttRelay_) pttRelay_->Ptt(on);
  if (const Result set = line_->SetPtt(on); !set.ok()) Fail(set.error());
}

void KeyerEngine::Fail(int err) {
  // The line is gone (an adapter pulled out): stop everything at once and
  // raise what can still be raised; the program is told through LineError.
  lineError_ = err;
  DropQueue();
  AllUp();
  active_ = false;
  Wake();
}

void KeyerEngine::AllUp() {
  if (!line_) return;
  const bool wasDown = keyDown_, wasPtt = pttOn_;
  line_->AllUp();
  if (pttRelay_) pttRelay_->Ptt(false);
  const int64_t now = clock_.Now();
  if (sidetone_) sidetone_->SetKey(false, now);
  keyDown_ = pttOn_ = false;
  hold_.Drop();
  if (log_) {
    if (wasDown) log_->Put(now, KeyEvent::KeyUp);
    if (wasPtt) log_->Put(now, KeyEvent::PttOff);
  }
}

bool KeyerEngine::WaitFor(int64_t deadline, uint64_t generation) {
  // A stop of the process ends the wait: its element is dropped at once.
  auto going = [&] {
    return !stop_ && generation_ == generation && emergency::Stops() == stopsSeen_;
  };
  while (going()) {
    if (clock_.Now() >= deadline) return true;
    const uint32_t seen = wake_.load();
    if (!going()) break;
    // Elements queued meanwhile are planned for the sidetone at once, and
    // those still beyond its horizon when they enter it.
    int64_t until = deadline;
    {
      PiLock lock(lineMu_);
      if (Plans() && generation_ == generation) until = std::min(until, PlanAhead());
    }
    clock_.WaitUntil(until, wake_, seen);
  }
  return false;
}

void KeyerEngine::LeadWithPtt() {
  if (keyLineOn_) Ptt(true);
  if (pttOn_) runTime_ = std::max(runTime_, pttOnAt_ + leadNs_);
}

void KeyerEngine::FollowPlan(uint64_t tail, const Item& item) {
  // The element as planned? A late wake moved it, a new unit changed its
  // length, a new sidetone knows nothing: the tone planned from here no
  // longer holds.
  const bool known = !replan_.exchange(false) && tail < planned_;
  const int64_t planned = known ? planStart_[tail % kRing] : runTime_;
  const int64_t moved = runTime_ - planned;
  const int64_t plannedEnd =
      known ? (tail + 1 < planned_ ? planStart_[(tail + 1) % kRing] : planAt_) + moved : 0;
  if (known && plannedEnd == runTime_ + Length(item)) {
    if (moved != 0) {
      // Re-based: the tone planned from here moves with the run.
      sidetone_->Shift(planned, moved);
      for (uint64_t i = tail; i < planned_; ++i) planStart_[i % kRing] += moved;
      planAt_ += moved;
      sidetone_->PlannedThrough(planAt_);
    }
  } else {
    if (known) sidetone_->Unplan(std::min(planned, runTime_));
    Replan(tail, runTime_, keyDown_);
  }
  PlanAhead();
}

void KeyerEngine::Replan(uint64_t from, int64_t at, bool down) {
  planned_ = from;
  planAt_ = at;
  planDown_ = down;
}

int64_t KeyerEngine::PlanAhead() {
  if (!inRun_) return kNoDeadline;
  const uint64_t head = head_.load(std::memory_order_acquire);
  const int64_t reach = sidetone_->PlansAheadNs();
  const int64_t horizon = clock_.Now() + reach;
  bool any = false;
  while (planned_ < head && planAt_ < horizon) {
    const Item& item = ring_[planned_ % kRing];
    planStart_[planned_ % kRing] = planAt_;
    if (item.down != planDown_) {
      sidetone_->Plan(item.down, planAt_);
      planDown_ = item.down;
    }
    planAt_ += Length(item);
    ++planned_;
    any = true;
  }
  if (any) {
    // The key goes up after the last element unless another comes; one
    // that does replaces this plan.
    if (planDown_) sidetone_->Plan(false, planAt_);
    planDown_ = false;
    sidetone_->PlannedThrough(planAt_);
  }
  return planned_ < head ? planAt_ - reach : kNoDeadline;
}

bool KeyerEngine::Step() {
  const uint32_t seen = wake_.load();
  if (emergency::Stops() != stopsSeen_) {
    PiLock lock(lineMu_);
    CatchStop();
  }
  const uint64_t generation = generation_.load();
  uint64_t tail = tail_.load();
  if (tail < dropTo_.load()) {  // an abort dropped these
    tail = dropTo_.load();
    tail_.store(tail);
    inRun_ = false;
  }
  if (tail == head_.load(std::memory_order_acquire)) {
    {
      PiLock lock(lineMu_);
      Key(false, Plans());  // the key-up after the last element was planned
      // The tail counts from the last key-up, not from the end of the gap
      // that closes the last character.
      if (inRun_) runEnd_ = std::max(keyUpAt_, runStart_);
      hold_.KeyedUntil(runEnd_);
      inRun_ = false;
    }
    return IdleStep(seen, generation);
  }
  int64_t late = 0;
  if (!inRun_) {
    // A new run: PTT first, then the lead when PTT has just risen.
    inRun_ = true;
    runStart_ = runTime_ = clock_.Now();
    // A hand's element handed over after it was due (its keyer's thread was
    // held) starts late all the same.
    const Item& first = ring_[tail % kRing];
    if (first.dueNs > 0 && runStart_ - first.dueNs > kLateNs) late = runStart_ - first.dueNs;
    {
      PiLock lock(lineMu_);
      if (generation_ != generation) return true;
      LeadWithPtt();
      if (Plans()) {
        replan_ = false;
        if (first.hand) {
          // A hand does not wait: the key moves now, and the tone is told
          // so rather than planned, to follow as soon as the sound can.
          sidetone_->SetKey(first.down, runTime_);
          planStart_[tail % kRing] = runTime_;
          Replan(tail + 1, runTime_ + Length(first), false);
          // Its end is known, unless the hand holds it: planned, unless
          // another element follows.
          if (first.down && !first.held) sidetone_->Plan(false, planAt_);
          if (!first.held) sidetone_->PlannedThrough(planAt_);
        } else {
          // The first edge waits until the sound for its moment is not
          // made yet (a few ms at most), so its tone is placed on the same
          // moment.
          if (!clock_.Manual()) runTime_ = std::max(runTime_, sidetone_->ReadyNs());
          Replan(tail, runTime_, keyDown_);
        }
        PlanAhead();
      }
    }
    nextChange_ = runTime_;
    if (!WaitFor(runTime_, generation)) return true;
  }
  const Item item = ring_[tail % kRing];
  if (item.down) {
    // PTT fell in a long silence inside the run (a pause): it rises again,
    // and the key waits for its lead. Risen after the element was due (this
    // thread woke late), the element is late by as much, though its lead
    // counts from the rise.
    PiLock lock(lineMu_);
    if (generation_ != generation) return true;
    const bool rises = !pttOn_;
    const int64_t due = runTime_;
    LeadWithPtt();
    if (rises && pttOn_ && pttOnAt_ - due > kLateNs) late = pttOnAt_ - due;
  }
  if (runTime_ > clock_.Now()) {
    nextChange_ = runTime_;
    if (!WaitFor(runTime_, generation)) return true;
  }
  const int64_t now = clock_.Now();
  if (now - runTime_ > kLateNs) {  // late: key it in full from now
    late += now - runTime_;
    runTime_ = now;
  }
  if (late > 0) rebases_.fetch_add(1, std::memory_order_relaxed);
  {
    PiLock lock(lineMu_);
    if (generation_ != generation) return true;
    if (late > 0 && log_) log_->Put(now, KeyEvent::Late, late);
    const bool plans = Plans();
    if (plans) FollowPlan(tail, item);
    Key(item.down, plans);
  }
  playingAt_.store(runTime_);
  playing_.store(tail + 1);
  if (item.held) {
    // The hand holds the key: it goes up when let go, and the tone with
    // it (told, since nobody could plan it).
    if (!WaitReleased(tail, generation)) return true;
    runTime_ = std::max(runTime_, releasedAt_.load());
    tail_.store(tail + 1);
    PiLock lock(lineMu_);
    if (generation_ == generation) {
      Key(false);
      replan_ = true;  // what follows is planned afresh
    }
    return true;
  }
  runTime_ += Length(item);
  // A silence with no key-down queued after it (the end of a message, a
  // pause): PTT's tail runs from the last key-up, so the operator hears the
  // band once it has passed, whatever is still queued of the silence.
  bool drop = false;
  int64_t dropAt = 0;
  if (!item.down) {
    PiLock lock(lineMu_);
    drop = DropPttBy(tail, runTime_);
    dropAt = keyUpAt_ + tailNs_;
  }
  if (drop) {
    nextChange_ = dropAt;
    if (!WaitFor(dropAt, generation)) return true;
    PiLock lock(lineMu_);
    if (generation_ == generation && DropPttBy(tail, runTime_)) Ptt(false);
  }
  nextChange_ = runTime_;
  if (!WaitFor(runTime_, generation)) return true;
  tail_.store(tail + 1);
  const bool nextDown = tail + 1 < head_.load() && ring_[(tail + 1) % kRing].down;
  if (!nextDown) {
    PiLock lock(lineMu_);
    if (generation_ == generation) Key(false, Plans());
  }
  return true;
}

bool KeyerEngine::DropPttBy(uint64_t element, int64_t end) const {
  if (!pttOn_ || hold_.Held() || keyUpAt_ + tailNs_ >= end) return false;
  const uint64_t head = head_.load(std::memory_order_acquire);
  for (uint64_t i = element + 1; i < head; ++i)
    if (ring_[i % kRing].down) return false;
  return true;
}

bool KeyerEngine::IdleStep(uint32_t seen, uint64_t generation) {
  int64_t until = kNoDeadline;
  {
    PiLock lock(lineMu_);
    const int64_t now = clock_.Now();
    const bool quiet = tail_ == head_ && generation_ == generation;  // nothing new came
    if (pttOn_ && hold_.Held() && hold_.Deadline() != kNoDeadline) {
      // Held with nothing keyed for too long: a stuck transmitter, dropped.
      until = hold_.Deadline();
      if (quiet && hold_.Expire(now)) {
        Ptt(false);
        holdsDropped_.fetch_add(1);
        until = kNoDeadline;
      }
    } else if (pttOn_ && !hold_.Held()) {
      // The tail: PTT held after the last element, unless another comes.
      until = runEnd_ + tailNs_;
      if (now >= until && quiet) {
        Ptt(false);
        until = kNoDeadline;
      }
    }
    if (!pttOn_ && quiet) active_ = false;
  }
  nextChange_ = until;
  if (clock_.Manual() && (until == kNoDeadline || clock_.Now() < until))
    return false;  // the caller moves the clock on and runs it again
  clock_.WaitUntil(until, wake_, seen);
  return true;
}

void KeyerEngine::Run() {
  pthread_setname_np(pthread_self(), "orvex-keyer");  // as top and a debugger show it
  const ThreadPriority priority = MakeThisThreadRealtime();
  PrefaultAndLock(this, sizeof *this);
  {
    PiLock lock(lineMu_);
    priority_ = priority;
  }
  while (!stop_) Step();
}

void KeyerEngine::RunQueued() {
  while (IsOpen() && Step()) {
  }
}

}  // namespace orvex::engine
