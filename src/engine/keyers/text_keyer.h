// A keyer that times the elements itself and takes text a character at a
// time: a WinKeyer on the serial port, the radio's own keyer through Hamlib,
// a keyer on another machine. One interface, one file per kind; the send
// path hands each character as the kind writes it, with its length.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"
#include "engine/keyers/paddle_logic.h"
#include "engine/keyers/rig_link.h"

namespace orvex::engine {

// Where a keyer is, from the settings: the serial port's device (a keyer
// on the port), the radio (with whether PTT by CAT is ours), or the far
// keyer's host:port.
struct KeyerPlace {
  std::string device;
  RigSetup rig;
  std::string remote;
};

class TextKeyer;
// How a kind opens: refused with the cause in the operator's words.
using TextKeyerOpener = Result (*)(const KeyerPlace& place, std::unique_ptr<TextKeyer>* keyer);

class TextKeyer {
 public:
  virtual ~TextKeyer() = default;
  // Character c as this keyer writes it; empty when it cannot send it.
  virtual std::string Written(unsigned char c) const = 0;
  // One character as this keyer writes it, and its length in units (the
  // space after it included), for a keyer that does not say when it is done.
  virtual void Send(std::string_view what, int units) = 0;
  // How many characters it wants beyond the one being sent.
  virtual int Ahead() { return 1; }
  // Everything waiting dropped, the keyer stopped, key and PTT up.
  virtual void Clear() = 0;
  // Within the speeds the kind takes (core/config/keyer_kinds).
  virtual void SetSpeed(int wpm) = 0;
  virtual void SetWeight(int /*percent*/) {}
  // Characters at the keying speed, the gaps stretched to this overall
  // speed; 0: off.
  virtual void SetFarnsworth(int /*wpm*/) {}
  virtual void SetPttTiming(int /*leadMs*/, int /*tailMs*/) {}
  // Key down for ms, then up; a keyer that cannot hold the key does nothing.
  virtual void Tune(int ms) = 0;
  // PTT on until released, or until limitMs (0: none) pass with nothing sent.
  virtual void HoldPtt(bool on, int limitMs) = 0;
  // Characters handed and not yet sent (a tune counts as one).
  virtual int Pending() = 0;
  // Characters handed so far, and those sent or dropped so far.
  virtual uint64_t Queued() = 0;
  virtual uint64_t Ended() = 0;
  bool Busy() { return Pending() > 0; }
  // Why it stopped working; fine while it works. Nothing is sent after a
  // failure until it is opened again.
  virtual Result Failure() = 0;
  // Times the operator's paddle broke in on the text, so far.
  virtual uint64_t BreakIns() { return 0; }
  // The keyer's own paddle input in this mode (None: as it is), dit and
  // dah swapped or not; refused where it has no such mode.
  virtual Result SetPaddle(PaddleMode mode, bool /*swap*/) {
    return mode == PaddleMode::None ? Result() : Result::Refused("no paddle input");
  }
  // What its paddle sent since the last call (its echo of it).
  virtual std::string TakePaddleText() { return {}; }
  // Holds of PTT that their limit ended, so far.
  virtual uint64_t HoldsDropped() = 0;
  // The process was stopped (Ctrl+Z) since the last Clear.
  virtual bool Interrupted() { return false; }
  // After a stop the keyer could not honour (a radio whose keyer has no
  // stop), what it may still send; empty otherwise.
  virtual std::string StillSending() { return {}; }
  // With PTT by CAT, the radio's PTT as read back; empty otherwise.
  virtual std::optional<bool> RadioPtt() { return std::nullopt; }
  // For the status bar: "WinKeyer 3.1 on /dev/ttyUSB0".
  virtual std::string Name() = 0;
};

}  // namespace orvex::engine
