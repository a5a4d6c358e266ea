// CWFunc: the keyer's one entry point, eleven operations over one engine.
#pragma once

#include <cstdint>

namespace orvex::keyer {

class KeyerEngine;

enum CwOp : int16_t {
  CWOP_OPEN = 1,      // b = port code; result 0 opened, else a status
  CWOP_CLOSE = 2,
  CWOP_ABORT = 3,     // drop all queued elements, stop keying at once
  CWOP_PENDING = 4,   // result: elements not yet sent
  CWOP_ELEMENT = 5,   // a = 0 key down / 128 key up, b = units
  CWOP_KEYLINE = 6,   // b = 1 key the port line, 0 sidetone only
  CWOP_SIDETONE = 7,  // b = 1 PC speaker, 3 MIDI, 4 sound card, 0 none
  CWOP_TONE = 8,      // b = pitch in Hz
  CWOP_ACTIVE = 9,    // result non-zero while active
  CWOP_UNIT = 10,     // b = unit length in ms
  CWOP_IDLE = 11,
};

// Runs one operation on engine.
int16_t CWFunc(KeyerEngine& engine, int16_t op, int16_t a, int16_t b);

// The process's engine with the real outputs and the key log of
// ORVEX_KEYER_LOG; created on first use.
KeyerEngine& ProcessEngine();
int16_t CWFunc(int16_t op, int16_t a, int16_t b);

}  // namespace orvex::keyer
