// The operator's paddle or straight key keying through the engine: a thread
// of its own reads the contacts (lines/status_lines), debounces them without
// delaying a first edge, turns them into strokes by the rules of the mode
// (keyers/paddle_logic) at the engine's speed and the weighting, queues
// each stroke a moment before the one in progress ends (so the run goes on
// without a gap and a press up to then still counts), and reads back what
// the hand sent as characters for the echo.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "base/result.h"
#include "engine/keyers/paddle_logic.h"
#include "engine/lines/status_lines.h"
#include "engine/timing/keyer_engine.h"

namespace orvex::engine {

struct PaddleSetup {
  PaddleMode mode = PaddleMode::None;
  std::string device;                    // a port of the paddle's own; empty: the CW port's lines
  std::string dit = "CTS", dah = "DSR";  // the status lines of the contacts
  bool swap = false;                     // dit and dah the other way round
  bool operator==(const PaddleSetup&) const = default;
};

class PaddleKeyer {
 public:
  // Starts keying engine from the paddle; the engine must be open (its
  // port's lines are read when setup names no port of its own).
  static Result Open(KeyerEngine& engine, const PaddleSetup& setup,
                     std::unique_ptr<PaddleKeyer>* opened);
  ~PaddleKeyer();
  PaddleKeyer(const PaddleKeyer&) = delete;
  PaddleKeyer& operator=(const PaddleKeyer&) = delete;

  void SetWeight(int percent) { weight_ = percent; }
  // Times the hand broke in on other keying, so far.
  uint64_t BreakIns() const { return breakIns_.load(); }
  // The characters the hand sent since the last call (Windows-1252).
  std::string TakeText();
  // The paddle's port failed: the system's error number; 0 while it works.
  int Error() const { return lines_->Error(); }
  bool Polling() const { return lines_->Polling(); }

 private:
  PaddleKeyer(KeyerEngine& engine, const PaddleSetup& setup);
  void Run();
  void Contacts(int64_t now);
  void Begin(Stroke stroke, int64_t now);
  void Decide();
  void Follow(int64_t now);
  // Neither contact has moved since (the moment to choose the next stroke).
  bool Unmoved(int64_t since) const;
  void Say(const char* chars, int n);
  int64_t MarkNs(Stroke stroke) const;
  int64_t SpaceNs() const;

  KeyerEngine& engine_;
  PaddleSetup setup_;
  int ditBit_ = 0, dahBit_ = 0;
  std::unique_ptr<StatusLines> lines_;
  std::atomic<uint32_t> wake_{0};
  std::atomic<bool> stop_{false};
  std::atomic<int> weight_{50};
  std::atomic<uint64_t> breakIns_{0};
  // The echo: characters from the paddle's thread to whoever takes them.
  std::array<char, 512> said_{};
  std::atomic<uint64_t> saidHead_{0}, saidTail_{0};

  // The paddle thread's own.
  PaddleLogic logic_;
  HandDecoder decoder_;
  bool accepted_[2] = {false, false};  // dit, dah as debounced
  int64_t settled_[2] = {0, 0};        // each contact's bounce ends here
  Stroke current_ = Stroke::None, next_ = Stroke::None;
  uint64_t mark_ = 0;      // the engine's number for the current stroke's mark
  uint64_t nextMark_ = 0;  // and for the next one's, once queued
  int64_t strokeEnd_ = 0;  // when the current stroke (mark and space) ends
  bool held_ = false;      // a straight key (or the bug's dah) holds the key
  bool dahWaits_ = false;  // the bug's dah waits for its dit to end
  int64_t heldSince_ = 0;
  int64_t quietSince_ = 0;  // the hand's last mark ended here
  std::thread thread_;
};

}  // namespace orvex::engine
