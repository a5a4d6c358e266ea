// The keyer as the rest of the program sees it: its operations as
// methods. The program forwards them to the engine; tests use a fake whose
// pending count falls as a fake clock advances; orvex-send --trace prints.
#pragma once

#include <cstdint>

#include "base/result.h"
#include "base/text.h"
#include "core/config/keyer_kinds.h"
#include "engine/keyers/rig_link.h"
#include "engine/lines/key_line.h"
#include "engine/sound/sidetone.h"
#include "engine/timing/paddle_keyer.h"

namespace orvex {

using engine::SidetoneDevice;

struct Wiring {
  // The way it keys (core/config/keyer_kinds): the port's own lines, timed
  // here, or a keyer that times the elements itself.
  const KeyerKind* keyer = &LineKeyer();
  engine::LineChoice lines;  // PTT may be the radio's, over CAT (SerialLine::Rig)
  engine::RigSetup rig;      // for the radio's keyer and PTT over CAT
  std::string remote;        // host:port of a keyer on another machine
  bool operator==(const Wiring&) const = default;
};

class Keyer {
 public:
  virtual ~Keyer() = default;
  // port: 0 none (sidetone only), 1..8 COM1..COM8, -1/-2 LPT1/LPT2.
  virtual Result Open(int16_t port, const Wiring& wiring) = 0;
  virtual void Close() = 0;
  virtual void Abort() = 0;       // drop every queued element, key and PTT up at once
  virtual int16_t Pending() = 0;  // elements queued and not yet sent
  virtual void Element(int16_t state, int16_t units) = 0;  // state 0 down, 128 up
  virtual void KeyLine(int16_t on) = 0;                    // 1 key the port line, 0 sidetone only
  virtual void Sidetone(SidetoneDevice device) = 0;
  virtual void Tone(int16_t hz) = 0;
  // Non-zero from the first element until the run's PTT has fallen (or Idle).
  virtual int16_t Active() = 0;
  // One unit, in ns: exact at every speed (1200 / WPM ms).
  virtual void Unit(int64_t ns) = 0;
  virtual void Idle() = 0;
  // PTT rises leadMs before the first element of a run and falls tailMs
  // after the last.
  virtual void PttTiming(int16_t leadMs, int16_t tailMs) = 0;
  // One key-down of ms, with PTT: for adjusting a tuner or an amplifier.
  virtual void Tune(int ms) = 0;
  // A failure with the system's error number once the port line failed
  // while keying; fine while it works. Nothing is keyed after a failure
  // until the next Open.
  virtual Result LineError() = 0;
  // What plays the sidetone, how far behind the key, and why nothing does.
  virtual engine::SidetoneStatus SidetoneState() = 0;
  // An element of its own length, whatever the unit: text from a logger
  // carries its own speed changes and weighting.
  virtual void ElementNs(bool down, int64_t ns) = 0;
  virtual void Volume(int16_t percent) = 0;  // sidetone level, 0 to 100
  // PTT on now and kept on (1) until released (0), or until limitMs (0: no
  // limit) pass with nothing keyed; released, it drops as at the end of a
  // run once nothing is pending.
  virtual void HoldPtt(int16_t on, int limitMs = 0) = 0;
  // Holds that their limit ended, so far.
  virtual uint64_t HoldsDropped() = 0;
  // The process was stopped (Ctrl+Z) since the last Abort: the keyer dropped
  // everything then and takes nothing until the program has stopped too.
  virtual bool Interrupted() = 0;
  // When the keyer next changes something (an element ends, the tail
  // passes), in ms on the monotonic clock; -1 when it has nothing to do.
  virtual int64_t NextChangeMs() = 0;
  // Elements queued so far, and elements ended or dropped so far: the n-th
  // queued (counting from 1) has ended once Ended() >= n.
  virtual uint64_t Queued() = 0;
  virtual uint64_t Ended() = 0;

  // A keyer that times the elements itself (a WinKeyer) takes whole
  // characters while the key line is on, and then Pending, Queued and
  // Ended count characters. Ours takes elements and keeps these defaults.
  virtual bool TakesCharacters() { return false; }
  // How many characters such a keyer wants beyond the one it sends: the
  // radio's keyer a word, a WinKeyer one.
  virtual int CharactersAhead() { return 1; }
  // How long what is queued takes to key, where the keyer knows; -1 where
  // it does not.
  virtual int64_t QueuedNs() { return -1; }
  // Hands over c; false when the keyer has no code for it (left out).
  virtual bool Character(unsigned char /*c*/) { return false; }
  // The speed and weighting for a keyer that times itself.
  virtual void Speed(int16_t /*wpm*/) {}
  virtual void Weight(int16_t /*percent*/) {}
  virtual void Farnsworth(int16_t /*wpm*/) {}
  // "WinKeyer 3.1 on /dev/ttyUSB0"; empty for the port's own lines.
  virtual Text Name() { return {}; }
  // Times the operator's paddle broke in on the keyer's text, so far.
  virtual uint64_t BreakIns() { return 0; }
  // Elements (or characters) queued after this mark had not started when
  // the hand last broke in; all ones: not known.
  virtual uint64_t BrokeInAt() { return ~uint64_t{0}; }
  // The operator's paddle or straight key keying through this keyer (mode
  // None: none); the same setup again leaves it as it is. Refused with the
  // reason where it cannot.
  virtual Result Paddle(const engine::PaddleSetup& setup) {
    return setup.mode == engine::PaddleMode::None ? Result() : Result::Refused("no paddle here");
  }
  // The hand keys (from a touch until it has been quiet a word's space):
  // nothing else is handed to the keyer meanwhile.
  virtual bool HandActive() { return false; }
  // What the hand sent since the last call, as characters (Windows-1252).
  virtual std::string TakeHandText() { return {}; }
  // What a keyer that could not honour a stop may still send; empty
  // otherwise.
  virtual std::string StillSending() { return {}; }
  // The transmitter is on, for the TX lamp: PTT up or the key down; with
  // PTT by CAT, the radio's PTT as read back, not what was asked of it.
  virtual bool OnAir() { return Active() != 0; }
};

}  // namespace orvex
