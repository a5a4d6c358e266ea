// The keying state and the keyer's set-up: opening the configured port with
// its sidetone, the speed in effect and the unit length that follows from
// it, and what stopping and closing do to the keyer itself. The speed in
// effect lives here and nowhere else.
#pragma once

#include <cstdint>

#include "base/message_sink.h"
#include "core/config/env_settings.h"
#include "core/sending/keyer.h"
#include "core/sending/morse_table.h"

namespace orvex {

// Told whenever the speed in effect is set, changed or not (the window title
// shows it).
class SpeedObserver {
 public:
  virtual ~SpeedObserver() = default;
  virtual void SpeedChanged(int16_t speed) = 0;
};

class PortSetup {
 public:
  PortSetup(const EnvSettings& settings, Keyer& keyer, MessageSink& sink)
      : settings_(settings), keyer_(keyer), sink_(sink) {}

  // Start-up reset: port closed, keyboard sending off, Morse table filled,
  // speed from the settings (28 outside 1 to 99).
  void InitCW();
  // Closes the keyer if open and opens it on port code p with the
  // configured sidetone; with no port and no sidetone nothing is opened
  // (true). A failure shows its "CW Setup" box and returns false. The
  // caller has stopped all sending first.
  bool OpenPort(int16_t portCode);
  // Applies the key line, sidetone and speed settings to the port that is
  // open, without closing it (each reopen pulses DTR and RTS, which keys
  // some radios). False when the port must be opened instead: another port,
  // none open, or one that failed.
  bool Reapply(int16_t portCode);
  // The port stopped working while sending: shows its box, once.
  void LineFailed(int err);
  // Shows the "Sidetone" box once when the sidetone cannot be heard (no
  // sound output, or the sound server went away); again only after it
  // played in between.
  void CheckSidetone();
  // What the operator hears: "PulseAudio 16.1, 14 ms behind the key",
  // "PC speaker (/dev/input/event5)", "none", or "silent: " and why.
  Text SidetoneText();
  bool Failed() const { return failed_; }
  // The port for a status line: "COM1 (/dev/ttyUSB0) open", "COM1
  // (/dev/ttyUSB0) failed: device not found", "none".
  Text PortStatusText() const;
  // Makes speed (1 to 99) the speed in effect: rebuilds the element table
  // and applies the unit length 1200 / speed ms.
  void SetCWSpeed(int16_t speed);
  // Makes speed the speed in effect from the next OpenPort on, without
  // touching the keyer now (CW Options before the window is up).
  void StoreSpeed(int16_t speed);
  // One step faster (+1) or slower (-1), staying within 3 to 49.
  void StepCWSpeed(int step);
  // The keyer's part of a stop: everything queued dropped, the key line and
  // the sidetone as configured again.
  void AbortKeyer();
  // Closes the keyer when it is open.
  void CloseKeyer();
  // The sidetone device and pitch the settings name, or none.
  void ApplySidetone();

  int16_t Speed() const { return speed_; }
  int16_t UnitMs() const { return unitMs_; }
  bool CWPortOpen() const { return portOpen_; }
  bool KeyboardCW() const { return keyboardCW_; }
  void SetKeyboardCW(bool on) { keyboardCW_ = on; }
  void SetSpeedObserver(SpeedObserver* observer) { observer_ = observer; }
  const ElementTable& Elements() const { return elements_; }

  // The "CW Setup" text for a failed open of port code p named portName.
  static Text SetupFailureText(const Text& portName, int16_t portCode, const OpenResult& result);

 private:
  // Key line, sidetone, PTT timing and speed of the open port.
  void ApplyPortSettings();
  // "COM1 (/dev/ttyUSB0)": the port's name and the device behind it.
  Text PortAndDevice(int16_t portCode) const;

  const EnvSettings& settings_;
  Keyer& keyer_;
  MessageSink& sink_;
  SpeedObserver* observer_ = nullptr;
  bool portOpen_ = false;
  bool failed_ = false;
  bool sidetoneReported_ = false;
  int16_t openCode_ = 0;
  int16_t failedCode_ = 0;
  Text failure_;             // why the last open failed or the line stopped; empty: it did not
  bool keyboardCW_ = false;  // typed-ahead text is keyed
  int16_t speed_ = 28;
  int16_t unitMs_ = 42;
  MorseTable morse_{};
  ElementTable elements_{};
};

}  // namespace orvex
