// The real keyer: CWFunc on the keying engine.
#pragma once

#include "keying/keyer.h"

namespace orvex {
namespace keyer {
class KeyerEngine;
}

class EngineKeyer : public Keyer {
 public:
  explicit EngineKeyer(keyer::KeyerEngine& engine) : engine_(engine) {}
  int16_t Open(int16_t port) override;
  void Close() override;
  void Abort() override;
  int16_t Pending() override;
  void Element(int16_t state, int16_t units) override;
  void KeyLine(int16_t on) override;
  void Sidetone(int16_t device) override;
  void Tone(int16_t hz) override;
  int16_t Active() override;
  void Unit(int16_t ms) override;
  void Idle() override;

 private:
  keyer::KeyerEngine& engine_;
};

}  // namespace orvex
