// The keying engine.
//
// One timing thread owns the keying. Callers queue elements (key down or up
// for a number of units) and return at once; the thread plays them on
// absolute CLOCK_MONOTONIC deadlines computed from the start of the run, so
// timing errors never add up. The key line (serial, parallel or none) and the
// sidetone output are injected, so tests can record what was keyed and when.
//
// A stall delays, it never changes what is sent: when the thread wakes late
// for an element, that element is keyed in full from then on and every
// later deadline moves by the lateness. A late key-down is longer, a late
// gap is longer; no element is ever cut short or skipped.
//
// PTT rises before the first element of a run (lead) and is held after the
// run's last key-up (tail), so relays settle and do not chatter between
// characters; it falls once the tail has passed and nothing is queued. The
// timing thread itself drops it: it never waits for the program to say the
// run is over.
//
// Safety: the key and PTT are up after Open, Abort, Close and destruction,
// on the signals emergency.h lists, and while the process is stopped (Ctrl+Z):
// a stop drops everything queued and nothing is keyed again until the
// program has stopped its own sending (Abort).
#pragma once

#include <pthread.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "base/thread_safety.h"
#include "engine/keyers/ptt_hold.h"
#include "engine/lines/key_line.h"
#include "engine/sound/sidetone.h"
#include "engine/system/engine_clock.h"
#include "engine/system/realtime.h"
#include "engine/timing/key_log.h"

namespace orvex::engine {

// The log ORVEX_KEYER_LOG names, for a program's engine; a log that cannot
// be opened is said on standard error (it is a tool for tests and for the
// operator's own checks) and keying goes on without it.
std::unique_ptr<KeyLog> KeyLogOrSay(const char* program);

struct EngineOutputs {
  // port: 0 none, 1..8 COM1..COM8, -1/-2 LPT1/LPT2; the line into *line.
  std::function<Result(int port, LineChoice lines, std::unique_ptr<KeyLine>* line)> openKeyLine;
  // Never nullptr for a device other than None: a missing device falls back
  // to another, or to silence.
  std::function<std::unique_ptr<Sidetone>(SidetoneDevice device)> openSidetone;
};

// A mutex that lends its holder the priority of a real-time thread waiting
// for it: an ordinary thread preempted while it holds the line for a moment
// cannot hold up the timing thread for longer.
class CAPABILITY("mutex") PiMutex {
 public:
  PiMutex();
  ~PiMutex();
  PiMutex(const PiMutex&) = delete;
  PiMutex& operator=(const PiMutex&) = delete;
  void lock() ACQUIRE();
  void unlock() RELEASE();

 private:
  pthread_mutex_t mutex_;
};

// Holds a PiMutex for a scope, as the analysis knows it.
class SCOPED_CAPABILITY PiLock {
 public:
  explicit PiLock(PiMutex& mu) ACQUIRE(mu) : mu_(mu) { mu_.lock(); }
  ~PiLock() RELEASE() { mu_.unlock(); }
  PiLock(const PiLock&) = delete;
  PiLock& operator=(const PiLock&) = delete;

 private:
  PiMutex& mu_;
};

class KeyerEngine {
 public:
  // clock: the system's monotonic clock when null; a manual one makes the
  // caller drive the keying with RunQueued instead of a timing thread.
  explicit KeyerEngine(EngineOutputs outputs, std::unique_ptr<KeyLog> log = nullptr,
                       EngineClock* clock = nullptr);
  ~KeyerEngine();
  KeyerEngine(const KeyerEngine&) = delete;
  KeyerEngine& operator=(const KeyerEngine&) = delete;

  // Opens port; when it cannot be opened, a line that was open stays open.
  Result Open(int port, LineChoice lines = {});
  // PTT told to relay as well as to the line (null: the line alone); set
  // while the port is closed, kept until changed.
  void SetPttRelay(PttRelay* relay) { pttRelay_ = relay; }
  void Close();
  void Abort();         // drop the queue, key and PTT up at once
  int Pending() const;  // elements queued or playing
  // How long the elements queued or playing take in all (the producer's
  // thread, as Element).
  int64_t QueuedNs() const;
  // Element and Tune may come from the program's thread and the paddle's:
  // they take turns on a lock of their own; the timing thread, the queue's
  // one consumer, takes none.
  void Element(bool keyDown, int units);
  // An element of its own length, whatever the unit (network text keys
  // its own speed and weighting).
  void ElementNs(bool keyDown, int64_t ns);
  void Tune(int ms);  // one key-down of ms, with PTT, for a tuner or amplifier
  // An element the operator's hand started (a paddle): starting a run, it
  // is keyed at once rather than at the sound's next free moment, and its
  // tone follows as soon as the sound can (within a few ms). dueNs, when
  // not 0, is when it was meant to start (as the stroke before it ended):
  // starting a run later than that, it is late as a late wake's change is
  // (the hand's keyer was held, not the hand), and counted so.
  void HandElement(bool keyDown, int64_t ns, int64_t dueNs = 0);
  // A straight key (or a bug's dah contact): down keys until up, with PTT
  // and its lead and tail as for any element.
  void HandKey(bool down);
  // The operator's hand keys from now (true) until it has let go (false).
  // Meanwhile only its elements are taken; touched while other elements
  // are queued, it breaks in: they are dropped at once, as a stop drops
  // them, but PTT stays for the hand. True when it broke in.
  bool SetHand(bool active);
  bool HandActive() const { return handActive_.load(); }
  // The element playing when the hand last broke in: those queued after it
  // were dropped unstarted.
  uint64_t BrokeInAt() const { return brokeAt_.load(); }
  // A copy of the serial port's descriptor, for reading its status lines
  // (a paddle on the CW port); -1 for another port.
  int DupStatusFd();
  int64_t UnitNs() const { return unitNs_.load(); }
  // Element element is being keyed, begun at *atNs (on the engine's
  // clock): false before it begins and once it has ended.
  bool PlayingSince(uint64_t element, int64_t* atNs) const;
  void SetKeyLine(bool on);  // key the port line, or sidetone only
  // Opens the device's sidetone, falling back as the outputs do; the same
  // device again is left as it is (None first opens it anew).
  void SetSidetone(SidetoneDevice device);
  // What plays the sidetone, how far behind the key, and why not.
  SidetoneStatus SidetoneState() const;
  void SetTone(int hz);
  void SetVolume(int percent);
  // PTT held on from now (with the key line on) until released, or until
  // limitMs (0: no limit) pass with nothing keyed; released, it drops as at
  // the end of a run once nothing is pending.
  void HoldPtt(bool on, int limitMs = 0);
  // Holds that limitMs ended, since the engine was made.
  uint64_t HoldsDropped() const { return holdsDropped_.load(); }
  // The process was stopped (Ctrl+Z) since the last Abort: everything queued
  // was dropped then, and nothing is taken or keyed until the next Abort.
  bool Interrupted() const { return interrupted_.load(); }
  // When the timing thread next changes something (an element ends, the
  // lead or the tail passes, a hold runs out), on the engine's clock;
  // kNoDeadline when it has nothing to do.
  int64_t NextChangeNs() const { return nextChange_.load(); }
  // Elements queued since the engine was made, and elements ended or
  // dropped: element n has ended once Ended() >= n + 1.
  uint64_t Queued() const { return head_.load(); }
  uint64_t Ended() const { return std::max(tail_.load(), dropTo_.load()); }
  bool Active() const;         // from the first queued element until Idle and PTT is down
  void SetUnitNs(int64_t ns);  // for elements not yet started
  // PTT before the first element of a run and after the last, in ms.
  void SetPttTiming(int leadMs, int tailMs);
  // Nothing more is coming: not active once nothing is pending, PTT down
  // once the tail has passed (which the timing thread does by itself too).
  void Idle();

  bool IsOpen() const;
  // A failure with the system's error number once the key line failed
  // while keying (fine while it works); everything queued has been dropped
  // then, and nothing more is keyed until the line is opened again.
  Result LineError() const;
  // What priority the timing thread got, once it knows.
  std::optional<ThreadPriority> Priority() const;

  // With a manual clock: plays everything queued on the caller's thread, and
  // drops PTT when the clock has been moved past its tail or hold limit.
  void RunQueued();

 private:
  struct Item {
    bool down;
    int units;
    int64_t fixedNs;  // a length of its own (tune), else units x unit
    bool hand = false;
    bool held = false;  // a straight key's: as long as the hand holds it
    int64_t dueNs = 0;  // a hand's element: when it was meant to start
  };
  // A held element's length until it is let go: longer than any hour at
  // the key, short of overflowing the run's times.
  static constexpr int64_t kHeldNs = int64_t{1} << 50;
  static constexpr uint64_t kRing = 1024;

  void Run();
  // One step of the timing loop; false when there is nothing to do but
  // wait for an element.
  bool Step();
  // Waits until deadline; false when an abort or close came first.
  bool WaitFor(int64_t deadline, uint64_t generation);
  // Waits until held element element is let go; false as WaitFor.
  bool WaitReleased(uint64_t element, uint64_t generation);
  void Wake();
  void Push(const Item& item);
  // planned: the sidetone was told of this change ahead of time.
  void Key(bool down, bool planned = false) REQUIRES(lineMu_);
  void Ptt(bool on) REQUIRES(lineMu_);
  void AllUp() REQUIRES(lineMu_);
  void Fail(int err) REQUIRES(lineMu_);
  // PTT down now when its tail has passed (and nobody holds it), else left
  // to the timing thread: true, wake it.
  bool DropPttAfterTail() REQUIRES(lineMu_);
  // PTT up and its tail, counted from the last key-up, ends before end,
  // the end of silent element element, with no key-down queued after it.
  bool DropPttBy(uint64_t element, int64_t end) const REQUIRES(lineMu_);
  // The timing thread's idle step: PTT down after the tail, a hold ended at
  // its limit. False when there is nothing to wait for.
  bool IdleStep(uint32_t seen, uint64_t generation);
  // A stop of the process (Ctrl+Z) that has not been seen yet: everything
  // dropped, the lines up, Interrupted() until the next Abort.
  void CatchStop() REQUIRES(lineMu_);
  // Drops everything queued.
  void DropQueue() REQUIRES(lineMu_);
  // Planning ahead for a sidetone that renders ahead of the key (timing
  // thread): whether the sidetone wants it; plans from element from,
  // starting at at, the key down before it; tells the sidetone of the
  // elements that start within its horizon and returns when the next one
  // enters it (kNoDeadline: none queued).
  bool Plans() const REQUIRES(lineMu_) { return sidetone_ && sidetone_->PlansAheadNs() > 0; }
  void Replan(uint64_t from, int64_t at, bool down);
  // Element tail is about to be keyed at runTime_: the tone planned for it
  // is kept, moved with a re-based run (Shift) or planned again.
  void FollowPlan(uint64_t tail, const Item& item) REQUIRES(lineMu_);
  // PTT up for keying, and the run waits for its lead when it has just risen.
  void LeadWithPtt() REQUIRES(lineMu_);
  int64_t PlanAhead() REQUIRES(lineMu_);
  // The element's length as it will be played.
  int64_t Length(const Item& item) const {
    return item.fixedNs > 0 ? item.fixedNs : item.units * unitNs_;
  }

  EngineOutputs outputs_;
  std::unique_ptr<KeyLog> log_;
  MonotonicEngineClock systemClock_;
  EngineClock& clock_;

  // The queue: a fixed ring, so the timing thread never allocates.
  std::array<Item, kRing> ring_{};
  std::atomic<uint64_t> head_{0};        // the next to queue
  std::atomic<uint64_t> tail_{0};        // the one playing; passed when it ends
  std::atomic<uint64_t> dropTo_{0};      // an abort drops everything before it
  std::atomic<uint64_t> generation_{0};  // bumped by Abort, Close and a failure
  std::atomic<uint32_t> wake_{0};        // changed to wake the timing thread
  std::atomic<bool> stop_{false};
  std::atomic<bool> active_{false};
  std::atomic<bool> interrupted_{false};
  std::atomic<uint32_t> stopsSeen_{0};  // the process stops (emergency::Stops) handled
  std::atomic<int64_t> nextChange_{kNoDeadline};
  PttRelay* pttRelay_ = nullptr;
  std::atomic<uint64_t> holdsDropped_{0};
  std::atomic<int64_t> unitNs_{42'000'000};
  std::atomic<int64_t> leadNs_{0}, tailNs_{0};
  // When the last run's keying ended (its last key-up; the gap after it
  // is silence the PTT tail counts in).
  std::atomic<int64_t> runEnd_{0};
  std::atomic<uint64_t> rebases_{0};
  std::atomic<int> lineError_{0};

  // The line, the sidetone and the key state: held for a switch at a time.
  mutable PiMutex lineMu_;
  std::unique_ptr<KeyLine> line_ GUARDED_BY(lineMu_);
  std::unique_ptr<Sidetone> sidetone_ GUARDED_BY(lineMu_);
  SidetoneDevice sidetoneDevice_ GUARDED_BY(lineMu_) = SidetoneDevice::None;
  int pitch_ GUARDED_BY(lineMu_) = 600;
  int volume_ GUARDED_BY(lineMu_) = 100;
  PttHold hold_ GUARDED_BY(lineMu_);  // a logger's hold of PTT
  std::atomic<bool> open_{false};
  bool keyLineOn_ GUARDED_BY(lineMu_) = false;
  bool keyDown_ GUARDED_BY(lineMu_) = false;
  bool pttOn_ GUARDED_BY(lineMu_) = false;
  int64_t pttOnAt_ GUARDED_BY(lineMu_) = 0;  // when PTT last rose
  int64_t keyUpAt_ GUARDED_BY(lineMu_) = 0;  // when the key last went up
  std::optional<ThreadPriority> priority_ GUARDED_BY(lineMu_);
  // The producers' turns: the program's thread and the paddle's.
  PiMutex pushMu_;
  std::atomic<bool> handActive_{false};
  std::atomic<uint64_t> brokeAt_{~uint64_t{0}};
  std::atomic<uint64_t> released_{0};  // held elements before this are let go
  std::atomic<int64_t> releasedAt_{0};
  // The element being keyed (its number + 1; 0: none) and when it began.
  std::atomic<uint64_t> playing_{0};
  std::atomic<int64_t> playingAt_{0};
  uint64_t lastHeld_ = 0;  // the producers': the last held element queued, + 1

  std::atomic<bool> replan_{false};  // a new sidetone: plan again from the next element

  // The timing thread's own.
  uint64_t planned_ = 0;                    // the next element to plan
  int64_t planAt_ = 0;                      // when it starts
  bool planDown_ = false;                   // the key as planned before it
  std::array<int64_t, kRing> planStart_{};  // when each planned element was to start
  bool inRun_ = false;
  int64_t runTime_ = 0;  // where the run's schedule stands: the next element's start
  int64_t runStart_ = 0;
  std::thread thread_;
};

}  // namespace orvex::engine
