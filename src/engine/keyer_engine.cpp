#include "engine/keyer_engine.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <time.h>

#include <cerrno>
#include <chrono>

#include "base/clock.h"
#include "engine/emergency.h"

namespace orvex::engine {
namespace {

// The last stretch before a deadline is slept with clock_nanosleep, which is
// precise; before that the thread waits on the condition variable, so an
// abort or a new element wakes it.
constexpr int64_t kTailNs = 500'000;

void TuneTimingThread() {
  prctl(PR_SET_TIMERSLACK, 1UL);
  sched_param param{};
  param.sched_priority = 10;
  // Real-time priority when the system grants it; ordinary scheduling works.
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

}  // namespace

KeyerEngine::KeyerEngine(EngineOutputs outputs, std::unique_ptr<KeyLog> log)
    : outputs_(std::move(outputs)), log_(std::move(log)) {}

KeyerEngine::~KeyerEngine() {
  Close();
}

OpenResult KeyerEngine::Open(int port) {
  Close();
  emergency::InstallHandlers();
  OpenResult result;
  std::unique_ptr<KeyLine> line = outputs_.openKeyLine(port, &result);
  if (!line) return result.ok() ? OpenResult{OpenStatus::NotFound, 0} : result;
  line->AllUp();
  {
    std::lock_guard lock(mu_);
    line_ = std::move(line);
    open_ = true;
    stop_ = false;
    keyLineOn_ = false;
    active_ = keyDown_ = pttOn_ = false;
    lineError_ = 0;
  }
  thread_ = std::thread([this] { Run(); });
  return {};
}

void KeyerEngine::Close() {
  {
    std::lock_guard lock(mu_);
    if (!open_) return;
    queue_.clear();
    ++generation_;
    AllUp();
    active_ = false;
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::unique_ptr<KeyLine> line;
  std::unique_ptr<Sidetone> sidetone;
  {
    std::lock_guard lock(mu_);
    line = std::move(line_);
    sidetone = std::move(sidetone_);
    sidetoneDevice_ = SidetoneDevice::None;
    open_ = false;
  }
  // Destroyed outside the lock: closing a sound stream can take a while.
}

void KeyerEngine::Abort() {
  {
    std::lock_guard lock(mu_);
    queue_.clear();
    ++generation_;
    // Raised here, in the caller's thread, rather than when the timing
    // thread next wakes: the stop is as quick as one ioctl.
    AllUp();
    active_ = false;
  }
  wake_.notify_all();
}

int KeyerEngine::Pending() const {
  std::lock_guard lock(mu_);
  return static_cast<int>(queue_.size());
}

void KeyerEngine::Element(bool keyDown, int units) {
  {
    std::lock_guard lock(mu_);
    if (!open_ || units <= 0 || lineError_ != 0) return;
    queue_.push_back({keyDown, units});
    active_ = true;
    if (keyLineOn_) Ptt(true);
  }
  wake_.notify_all();
}

void KeyerEngine::SetKeyLine(bool on) {
  std::lock_guard lock(mu_);
  if (!open_ || on == keyLineOn_) return;
  if (!on) {
    line_->AllUp();
    if (pttOn_ && log_) log_->Write(MonotonicNs(), "PTT OFF");
    pttOn_ = false;
    keyLineOn_ = false;
    return;
  }
  keyLineOn_ = true;
  if (active_) Ptt(true);
  if (keyDown_ && lineError_ == 0)
    if (const int err = line_->SetKey(true)) Fail(err);
}

void KeyerEngine::SetSidetone(SidetoneDevice device) {
  {
    std::lock_guard lock(mu_);
    if (!open_ || (device == sidetoneDevice_ && (device == SidetoneDevice::None || sidetone_)))
      return;
  }
  // Opening a sound device is slow: never while holding the timing lock.
  std::unique_ptr<Sidetone> next =
      device != SidetoneDevice::None ? outputs_.openSidetone(device) : nullptr;
  {
    std::lock_guard lock(mu_);
    if (!open_) return;
    if (next) {
      next->SetPitch(pitch_);
      next->SetKey(keyDown_);
    }
    if (sidetone_) sidetone_->SetKey(false);
    std::swap(sidetone_, next);
    sidetoneDevice_ = device;
  }
}

void KeyerEngine::SetTone(int hz) {
  std::lock_guard lock(mu_);
  pitch_ = hz;
  if (sidetone_) sidetone_->SetPitch(hz);
}

bool KeyerEngine::Active() const {
  std::lock_guard lock(mu_);
  return active_;
}

void KeyerEngine::SetUnit(int ms) {
  std::lock_guard lock(mu_);
  if (ms > 0) unitNs_ = static_cast<int64_t>(ms) * 1'000'000;
}

void KeyerEngine::Idle() {
  std::lock_guard lock(mu_);
  // Elements still to play keep the transmitter on: dropping PTT under a
  // keyed line would hot-switch the radio.
  if (!queue_.empty()) return;
  active_ = false;
  Ptt(false);
}

bool KeyerEngine::IsOpen() const {
  std::lock_guard lock(mu_);
  return open_;
}

int KeyerEngine::LineError() const {
  std::lock_guard lock(mu_);
  return lineError_;
}

void KeyerEngine::Key(bool down) {
  if (down == keyDown_) return;
  keyDown_ = down;
  if (sidetone_) sidetone_->SetKey(down);
  if (log_) log_->Write(MonotonicNs(), down ? "KEY DOWN" : "KEY UP");
  if (keyLineOn_)
    if (const int err = line_->SetKey(down)) Fail(err);
}

void KeyerEngine::Ptt(bool on) {
  if (on == pttOn_ || lineError_ != 0) return;
  pttOn_ = on;
  if (log_) log_->Write(MonotonicNs(), on ? "PTT ON" : "PTT OFF");
  if (const int err = line_->SetPtt(on)) Fail(err);
}

void KeyerEngine::Fail(int err) {
  // The line is gone (an adapter pulled out): stop everything at once and
  // raise what can still be raised; the program is told through LineError.
  lineError_ = err;
  queue_.clear();
  ++generation_;
  AllUp();
  active_ = false;
}

void KeyerEngine::AllUp() {
  if (!line_) return;
  const bool wasDown = keyDown_, wasPtt = pttOn_;
  line_->AllUp();
  if (sidetone_) sidetone_->SetKey(false);
  keyDown_ = pttOn_ = false;
  if (log_) {
    const int64_t now = MonotonicNs();
    if (wasDown) log_->Write(now, "KEY UP");
    if (wasPtt) log_->Write(now, "PTT OFF");
  }
}

bool KeyerEngine::WaitUntil(int64_t deadline, uint64_t generation,
                            std::unique_lock<std::mutex>& lock) {
  while (true) {
    if (stop_ || generation_ != generation) return false;
    const int64_t now = MonotonicNs();
    if (now >= deadline) return true;
    if (deadline - now > kTailNs) {
      // steady_clock is CLOCK_MONOTONIC, the clock of our deadlines.
      wake_.wait_until(lock, std::chrono::steady_clock::time_point(
                                 std::chrono::nanoseconds(deadline - kTailNs)));
    } else {
      lock.unlock();
      timespec ts{static_cast<time_t>(deadline / 1'000'000'000),
                  static_cast<long>(deadline % 1'000'000'000)};
      while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
      }
      lock.lock();
    }
  }
}

void KeyerEngine::Run() {
  TuneTimingThread();
  std::unique_lock lock(mu_);
  bool inRun = false;
  int64_t runStart = 0, unitsNs = 0;  // the run's start and its length so far
  while (!stop_) {
    if (queue_.empty()) {
      Key(false);
      inRun = false;
      wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
      continue;
    }
    if (!inRun) {
      runStart = MonotonicNs();
      unitsNs = 0;
      inRun = true;
    }
    const Item item = queue_.front();
    const uint64_t generation = generation_;
    const int64_t end = runStart + unitsNs + item.units * unitNs_;
    unitsNs += item.units * unitNs_;
    // Late for the whole of a key-down element: skip it rather than key a
    // stub, and never key past its planned end.
    Key(item.down && MonotonicNs() < end);
    if (!WaitUntil(end, generation, lock)) {
      inRun = false;  // aborted or closing: the lines are already up
      continue;
    }
    queue_.pop_front();
    if (queue_.empty() || !queue_.front().down) Key(false);
  }
}

}  // namespace orvex::engine
