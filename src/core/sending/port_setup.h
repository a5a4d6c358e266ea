// The keying state and the keyer's set-up: opening the configured port with
// its sidetone, the speed in effect and the unit length that follows from
// it, and what stopping and closing do to the keyer itself. The speed in
// effect lives here and nowhere else.
#pragma once

#include <cstdint>

#include "core/config/env_settings.h"
#include "core/sending/keyer.h"
#include "core/sending/keying_shape.h"
#include "core/sending/morse_table.h"
#include "core/sending/send_seams.h"

namespace orvex {

// The speed keys step within these, one word per minute at a time.
inline constexpr int kSlowestStep = 3, kFastestStep = 49;

// How the operator of this program puts a port or a sidetone right: the
// window's words by default; the command-line programs name their options.
struct Remedies {
  Text changePort = "Use Options/CW Options to change the port.";
  Text changeKeyer = "Use Options/CW Options to change the keyer.";
  Text portBack =
      "Sending has stopped. When the interface is back, save the CW Options (or start Orvex "
      "again) to open the port again.";
  Text soundAgain =
      "Keying goes on without it. Save the CW Options (or start Orvex again) to try the sound "
      "again.";
  // A sidetone silent from the first open is only shown where the sidetone
  // is shown (the window's status bar), not told in a box that would come
  // before the window; a sound that goes away later is still told.
  bool silentStartShown = false;
};

// How the settings say the station keys (CWKeyer, the lines, the rig, the
// remote keyer).
Wiring WiringFrom(const EnvSettings& settings);
// The operator's paddle as the settings describe it.
engine::PaddleSetup PaddleFrom(const EnvSettings& settings);

// Told whenever the speed in effect is set, changed or not (the window title
// shows it).
class SpeedObserver {
 public:
  virtual ~SpeedObserver() = default;
  virtual void SpeedChanged(int16_t speed) = 0;
};

class PortSetup {
 public:
  PortSetup(const EnvSettings& settings, Keyer& keyer, Attention& attention, Remedies remedies)
      : settings_(settings), keyer_(keyer), attention_(attention), remedies_(std::move(remedies)) {}

  // Start-up reset: port closed, keyboard sending off, Morse table filled,
  // speed from the settings (the default outside its limits).
  void InitCW();
  // Closes the keyer if open and opens it on port code p with the
  // configured sidetone; with no port and no sidetone nothing is opened.
  // A failure is told ("CW Setup", unless quietly) and returned. The caller
  // has stopped all sending first.
  Result OpenPort(int16_t portCode, bool quietly = false);
  // Another port while one keys: the one open stays open when p cannot be
  // opened (the failure told and returned).
  Result SwitchPort(int16_t portCode);
  // Applies the key line, sidetone and speed settings to the port that is
  // open, without closing it (each reopen pulses DTR and RTS, which keys
  // some radios). False when the port must be opened instead: another port
  // or another way of keying it, none open, or one that failed.
  bool Reapply(int16_t portCode);
  // The port stopped working while sending: told once.
  void LineFailed(const Result& failure);
  // Tells ("Sidetone") once when the sidetone cannot be heard (no sound
  // output, or the sound server went away); again only after it played in
  // between.
  void CheckSidetone();
  // What the operator hears: "PulseAudio 16.1, with the key" (rendered
  // ahead), "ALSA, 14 ms behind the key",
  // "PC speaker (/dev/input/event5)", "none", or "silent: " and why.
  Text SidetoneText();
  // The port failed to open or stopped working, and has not been opened since.
  bool Failed() const { return failure_.failed(); }
  // The port for a status line: "COM1 (/dev/ttyUSB0) open", "WinKeyer 3.1
  // on /dev/ttyUSB0", "COM1 (/dev/ttyUSB0) failed: device not found", "none".
  Text PortStatusText() const;
  // Makes speed (within the speed limits) the speed in effect: rebuilds
  // the element table and applies the unit length.
  void SetCWSpeed(int16_t speed);
  // Makes speed the speed in effect from the next OpenPort on, without
  // touching the keyer now (CW Options before the window is up).
  void StoreSpeed(int16_t speed);
  // One step faster (+1) or slower (-1), staying within the speed keys' range.
  void StepCWSpeed(int step);
  // The keyer's part of a stop: everything queued dropped, the key line and
  // the sidetone as configured again.
  void AbortKeyer();
  // Closes the keyer when it is open.
  void CloseKeyer();
  // The sidetone device and pitch the settings name, or none.
  void ApplySidetone();

  int16_t Speed() const { return speed_; }
  bool CWPortOpen() const { return portOpen_; }
  bool KeyboardCW() const { return keyboardCW_; }
  void SetKeyboardCW(bool on) { keyboardCW_ = on; }
  void SetSpeedObserver(SpeedObserver* observer) { observer_ = observer; }
  const ElementTable& Elements() const { return elements_; }
  // The keying's shape as the settings have it, and the unit it is keyed on.
  KeyingShape Shape() const {
    return {settings_.CWWeight, settings_.CWFarnsworth, settings_.CWWordSpace};
  }
  int64_t UnitNsKeyed() const { return UnitNs(speed_); }

 private:
  // Key line, sidetone, PTT timing and speed of the open port.
  void ApplyPortSettings();
  // The paddle through the keyer now open, or why it cannot.
  void ApplyPaddle();
  // The keyer opened on portCode so wired: it is the port now.
  void Adopt(int16_t portCode, const Wiring& wiring);
  // "COM1 (/dev/ttyUSB0)": the port's name and the device behind it.
  Text PortAndDevice(int16_t portCode) const;
  // "CW port COM1 (/dev/ttyUSB0)", "The radio's keyer", "The keyer at host:port".
  Text KeyedThrough(int16_t portCode) const;
  // The settings with the port named as the operator sees it, for the
  // kind's words.
  EnvSettings Placed(const KeyerKind& kind, int16_t portCode) const;
  // The port of portCode failed so; who holds it, when that is why.
  void NoteFailure(int16_t portCode, const Result& failure);
  // The "CW Setup" text for a failed open of port code p.
  Text SetupFailureText(int16_t portCode, const Result& opened) const;

  const EnvSettings& settings_;
  Keyer& keyer_;
  Attention& attention_;
  const Remedies remedies_;
  SpeedObserver* observer_ = nullptr;
  bool portOpen_ = false;
  bool lineFailed_ = false;
  bool sidetoneReported_ = false;
  bool startPassed_ = false;  // the first open's sidetone was heard, or told
  int16_t openCode_ = 0;
  Wiring openWiring_;
  int16_t failedCode_ = 0;
  // Why the last open failed or the line stopped; fine when it did not.
  Result failure_;
  Text holder_;              // the program that held the failed port, when one did
  bool keyboardCW_ = false;  // typed-ahead text is keyed
  int16_t speed_ = 28;
  MorseTable morse_{};
  ElementTable elements_{};
};

}  // namespace orvex
