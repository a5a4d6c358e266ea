// The keying state and its operations: opening the configured port with its
// sidetone, the speed and unit length, stepping the speed, stopping all
// sending at once, closing at shut-down.
#pragma once

#include <cstdint>
#include <functional>

#include "app/message_sink.h"
#include "config/env_settings.h"
#include "keying/keyer.h"
#include "keying/morse_table.h"

namespace orvex {

struct KeyingState {
  bool CWPortOpen = false;
  bool KeyboardCW = false;  // typed-ahead text is keyed
  int16_t CurrentSpeed = 28;
  int16_t UnitMs = 42;
  MorseTable Morse;
  ElementTable Elements;
};

// What StopCW and CloseCWPort reach in the parts around the keyer; unset
// ones are skipped.
struct KeyingHooks {
  std::function<void()> ClearTypeAhead;  // empty the typed-ahead line and redraw it
  std::function<void()> EndCWFile;       // stop sending a text file
  std::function<void()> ClearSendQueue;  // empty the four send queue slots
};

class CwKeying {
 public:
  CwKeying(KeyingState& state, const EnvSettings& settings, Keyer& keyer, MessageSink& sink)
      : state_(state), settings_(settings), keyer_(keyer), sink_(sink) {}

  void SetHooks(KeyingHooks hooks) { hooks_ = std::move(hooks); }

  // Start-up reset: port closed, keyboard sending off, Morse table filled,
  // speed from the settings (28 outside 1 to 99).
  void InitCW();
  // Stops, closes, and opens the keyer on port code p with the configured
  // sidetone. With no port and no sidetone nothing is opened (true).
  // A failure shows its "CW Setup" box and returns false.
  bool OpenCWPort(int16_t portCode);
  // Rebuilds the element table and applies the unit length 1200 / speed ms.
  void SetCWSpeed(int16_t speed);
  // One step faster (+1) or slower (-1), staying within 3 to 49.
  void StepCWSpeed(int step);
  // Ends all sending at once: typed-ahead line, file, queue, keyer.
  void StopCW();
  void CloseCWPort();

  // The "CW Setup" text for an OPEN status.
  static Text SetupFailureText(const Text& portName, int status);

 private:
  void ApplySidetone();

  KeyingState& state_;
  const EnvSettings& settings_;
  Keyer& keyer_;
  MessageSink& sink_;
  KeyingHooks hooks_;
};

}  // namespace orvex
