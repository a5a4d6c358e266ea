// The send queue and its pump. Four slots of text, served in order (1 local
// notices, 2 file lines, 3 stored messages, 4 one typed character), fed to
// the keyer a character at a time while its own queue stays short, so Stop
// acts at once and typed text stays editable until it goes. Codes 200 and
// 202 to 207 inside the text are commands.
#pragma once

#include <array>
#include <functional>

#include "config/env_settings.h"
#include "keying/cw_keying.h"
#include "keying/keyer.h"
#include "keying/send_seams.h"
#include "macros/clock.h"

namespace orvex {

inline constexpr unsigned char kCmdKeyLineOn = 200;
inline constexpr unsigned char kCmdKeyLineOff = 202;
inline constexpr unsigned char kCmdNoticePitch = 203;
inline constexpr unsigned char kCmdNormalPitch = 204;
inline constexpr unsigned char kCmdPause = 205;
inline constexpr unsigned char kCmdRepeat = 206;
inline constexpr unsigned char kCmdFile = 207;

inline constexpr int kQueueLimit = 32767;

class SendQueue {
 public:
  SendQueue(Keyer& keyer, KeyingState& keying, const EnvSettings& settings, Clock& clock,
            PauseTimer& timer, Beeper& beeper)
      : keyer_(keyer), keying_(keying), settings_(settings), clock_(clock), timer_(timer),
        beeper_(beeper) {}

  void SetTypeAhead(TypeAheadLine* line) { typeAhead_ = line; }
  // Code 207: start sending the named file.
  void SetFileStarter(std::function<void(const Text& name)> start) { startFile_ = std::move(start); }
  // Sees every text QueueCW accepts (orvex-send --dry-run).
  void SetQueueObserver(std::function<void(const Text&, int level)> f) { queued_ = std::move(f); }
  // Sees every pause as it starts, in ms (orvex-send --trace).
  void SetPauseObserver(std::function<void(int ms)> f) { paused_ = std::move(f); }

  // Appends text at level 1 to 4 (level 1 framed as a sidetone-only notice
  // at the raised pitch) and runs a pass. Text that would take the queue
  // past 32,767 characters is refused whole with a beep; other levels are
  // ignored. True when queued.
  bool QueueCW(const Text& text, int level);
  // One pass of the pump.
  void PumpCW();
  // Characters in slots 1 to 4.
  int PendingText() const;
  // Idles the keyer once nothing is left to send.
  void CWIdleCheck();
  // Stop: empties every slot and ends a pause.
  void Clear();

  bool Pausing() const { return pausing_; }
  const Text& Slot(int n) const { return slots_.at(static_cast<size_t>(n)); }

  // The message most recently queued at level 3; the repeat code sends it
  // again. Its callers store it before queueing.
  Text LastMessage;

 private:
  enum class Step { Next, EndPass, Restart };
  Step Command(int slot, unsigned char code);
  void StartPause(int seconds);

  Keyer& keyer_;
  KeyingState& keying_;
  const EnvSettings& settings_;
  Clock& clock_;
  PauseTimer& timer_;
  Beeper& beeper_;
  TypeAheadLine* typeAhead_ = nullptr;
  std::function<void(const Text&)> startFile_;
  std::function<void(const Text&, int)> queued_;
  std::function<void(int)> paused_;

  std::array<Text, 5> slots_;  // slot 0 unused
  bool inPass_ = false;
  bool pausing_ = false;
  int64_t pauseEnds_ = 0;
  unsigned pauseGeneration_ = 0;
  // Something was keyed (or a real pause waited) since slot 3 was last
  // refilled by the repeat code: without it a repeat would spin.
  bool progress_ = true;
};

}  // namespace orvex
