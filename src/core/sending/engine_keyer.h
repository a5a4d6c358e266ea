// The real keyer: the operations forwarded to the keying engine.
#pragma once

#include "core/sending/keyer.h"
#include "engine/keyer_engine.h"

namespace orvex {

class EngineKeyer : public Keyer {
 public:
  explicit EngineKeyer(engine::KeyerEngine& engine) : engine_(engine) {}
  Result Open(int16_t port) override { return engine_.Open(port); }
  void Close() override { engine_.Close(); }
  void Abort() override { engine_.Abort(); }
  int16_t Pending() override;
  void Element(int16_t state, int16_t units) override { engine_.Element(state == 0, units); }
  void KeyLine(int16_t on) override { engine_.SetKeyLine(on != 0); }
  void Sidetone(SidetoneDevice device) override { engine_.SetSidetone(device); }
  void Tone(int16_t hz) override { engine_.SetTone(hz); }
  int16_t Active() override { return engine_.Active() ? 1 : 0; }
  void Unit(int16_t ms) override { engine_.SetUnit(ms); }
  void Idle() override { engine_.Idle(); }
  Result LineError() override { return engine_.LineError(); }
  void PttTiming(int16_t leadMs, int16_t tailMs) override { engine_.SetPttTiming(leadMs, tailMs); }
  void Tune(int ms) override { engine_.Tune(ms); }
  engine::SidetoneStatus SidetoneState() override { return engine_.SidetoneState(); }
  void ElementNs(bool down, int64_t ns) override { engine_.ElementNs(down, ns); }
  void Volume(int16_t percent) override { engine_.SetVolume(percent); }
  void HoldPtt(int16_t on, int limitMs) override { engine_.HoldPtt(on != 0, limitMs); }
  uint64_t HoldsDropped() override { return engine_.HoldsDropped(); }
  bool Interrupted() override { return engine_.Interrupted(); }
  int64_t NextChangeMs() override;
  uint64_t Queued() override { return engine_.Queued(); }
  uint64_t Ended() override { return engine_.Ended(); }

 private:
  engine::KeyerEngine& engine_;
};

}  // namespace orvex
