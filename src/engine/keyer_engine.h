// The keying engine behind CWFunc.
//
// One timing thread owns the keying. Callers queue elements (key down or up
// for a number of units) and return at once; the thread plays them on
// absolute CLOCK_MONOTONIC deadlines computed from the start of the run, so
// timing errors never add up. The key line (serial, parallel or none) and the
// sidetone output are injected, so tests can record what was keyed and when.
//
// Safety: the key and PTT are up after Open, Abort, Close and destruction,
// and on the signals emergency.h lists. A thread that wakes late shortens an
// element, never lengthens it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/key_line.h"
#include "engine/key_log.h"
#include "engine/open_status.h"
#include "engine/sidetone.h"

namespace orvex::engine {

struct EngineOutputs {
  // port: 0 none, 1..8 COM1..COM8, -1/-2 LPT1/LPT2. nullptr and *result
  // on failure.
  std::function<std::unique_ptr<KeyLine>(int port, OpenResult* result)> openKeyLine;
  // Never nullptr for a device other than None: a missing device falls back
  // to another, or to silence.
  std::function<std::unique_ptr<Sidetone>(SidetoneDevice device)> openSidetone;
};

class KeyerEngine {
 public:
  explicit KeyerEngine(EngineOutputs outputs, std::unique_ptr<KeyLog> log = nullptr);
  ~KeyerEngine();
  KeyerEngine(const KeyerEngine&) = delete;
  KeyerEngine& operator=(const KeyerEngine&) = delete;

  OpenResult Open(int port);
  void Close();
  void Abort();         // drop the queue, key and PTT up at once
  int Pending() const;  // elements queued or playing
  void Element(bool keyDown, int units);
  void SetKeyLine(bool on);  // key the port line, or sidetone only
  void SetSidetone(SidetoneDevice device);
  void SetTone(int hz);
  bool Active() const;   // from the first queued element until Idle
  void SetUnit(int ms);  // for elements not yet started
  void Idle();           // PTT down once nothing is pending

  bool IsOpen() const;
  // The system's error number once the key line failed while keying (0
  // while it works); everything queued has been dropped then, and nothing
  // more is keyed until the line is opened again.
  int LineError() const;

 private:
  struct Item {
    bool down;
    int units;
  };
  void Run();
  bool WaitUntil(int64_t deadline, uint64_t generation, std::unique_lock<std::mutex>& lock);
  void Key(bool down);  // the three below need mu_ held
  void Ptt(bool on);
  void AllUp();
  void Fail(int err);

  EngineOutputs outputs_;
  std::unique_ptr<KeyLog> log_;

  mutable std::mutex mu_;
  std::condition_variable wake_;
  std::deque<Item> queue_;
  std::unique_ptr<KeyLine> line_;
  std::unique_ptr<Sidetone> sidetone_;
  SidetoneDevice sidetoneDevice_ = SidetoneDevice::None;
  int pitch_ = 600;
  int64_t unitNs_ = 42'000'000;
  uint64_t generation_ = 0;  // bumped by Abort and Close
  bool open_ = false;
  bool keyLineOn_ = false;
  bool active_ = false;
  bool keyDown_ = false;
  bool pttOn_ = false;
  bool stop_ = false;
  int lineError_ = 0;
  std::thread thread_;
};

}  // namespace orvex::engine
