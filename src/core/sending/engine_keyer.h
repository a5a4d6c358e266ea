// The real keyer: the operations forwarded to the keying engine, or, when
// the port has a WinKeyer on it, the text to the WinKeyer and only what
// must not key the transmitter (sidetone-only notices) to the engine.
#pragma once

#include "core/sending/keyer.h"
#include "engine/keyer_engine.h"
#include "engine/winkeyer.h"

namespace orvex {

class EngineKeyer : public Keyer {
 public:
  explicit EngineKeyer(engine::KeyerEngine& engine) : engine_(engine) {}
  Result Open(int16_t port, const Wiring& wiring) override;
  void Close() override;
  void Abort() override;
  int16_t Pending() override;
  void Element(int16_t state, int16_t units) override { engine_.Element(state == 0, units); }
  void KeyLine(int16_t on) override;
  void Sidetone(SidetoneDevice device) override { engine_.SetSidetone(device); }
  void Tone(int16_t hz) override { engine_.SetTone(hz); }
  int16_t Active() override;
  void Unit(int16_t ms) override { engine_.SetUnit(ms); }
  void Idle() override { engine_.Idle(); }
  Result LineError() override;
  void PttTiming(int16_t leadMs, int16_t tailMs) override;
  void Tune(int ms) override;
  engine::SidetoneStatus SidetoneState() override { return engine_.SidetoneState(); }
  void ElementNs(bool down, int64_t ns) override { engine_.ElementNs(down, ns); }
  void Volume(int16_t percent) override { engine_.SetVolume(percent); }
  void HoldPtt(int16_t on, int limitMs) override;
  uint64_t HoldsDropped() override { return engine_.HoldsDropped() + winKeyer_.HoldsDropped(); }
  bool Interrupted() override { return engine_.Interrupted() || winKeyer_.Interrupted(); }
  int64_t NextChangeMs() override;
  // The two counts run on together: only one of them moves at a time, since
  // a switch between them waits for everything before it to be sent.
  uint64_t Queued() override { return engine_.Queued() + winKeyer_.Queued(); }
  uint64_t Ended() override { return engine_.Ended() + winKeyer_.Ended(); }
  bool TakesCharacters() override { return useWinKeyer_ && keyLine_; }
  bool Character(unsigned char c) override;
  void Speed(int16_t wpm) override;
  void Weight(int16_t percent) override;
  Text Name() override;
  uint64_t BreakIns() override { return winKeyer_.BreakIns(); }

 private:
  engine::KeyerEngine& engine_;
  engine::WinKeyer winKeyer_;
  bool useWinKeyer_ = false;
  bool keyLine_ = true;
};

}  // namespace orvex
