// The keyer as the rest of the program sees it: CWFunc's eleven operations
// as methods. The program forwards to the engine; tests use a fake whose
// pending count falls as a fake clock advances; orvex-send --trace prints.
#pragma once

#include <cstdint>

namespace orvex {

class Keyer {
 public:
  virtual ~Keyer() = default;
  virtual int16_t Open(int16_t port) = 0;  // 0 opened, else a status
  virtual void Close() = 0;
  virtual void Abort() = 0;
  virtual int16_t Pending() = 0;
  virtual void Element(int16_t state, int16_t units) = 0;  // state 0 down, 128 up
  virtual void KeyLine(int16_t on) = 0;
  virtual void Sidetone(int16_t device) = 0;
  virtual void Tone(int16_t hz) = 0;
  virtual int16_t Active() = 0;
  virtual void Unit(int16_t ms) = 0;
  virtual void Idle() = 0;
};

}  // namespace orvex
