// The real keyer: the operations forwarded to the keying engine, or, when
// the station keys through a keyer that times itself (a WinKeyer, the
// radio's own keyer, a keyer on another machine), the text to that keyer
// and only what must not key the transmitter (sidetone-only notices, text
// while the key line is off) to the engine.
#pragma once

#include <memory>

#include "core/sending/keyer.h"
#include "engine/keyers/rig_link.h"
#include "engine/keyers/text_keyer.h"
#include "engine/timing/keyer_engine.h"
#include "engine/timing/paddle_keyer.h"

namespace orvex {

class EngineKeyer : public Keyer {
 public:
  explicit EngineKeyer(engine::KeyerEngine& engine) : engine_(engine) {}
  ~EngineKeyer() override { Close(); }
  // A way of keying that cannot be opened leaves the one that was open.
  Result Open(int16_t port, const Wiring& wiring) override;
  void Close() override;
  void Abort() override;
  int16_t Pending() override;
  void Element(int16_t state, int16_t units) override { engine_.Element(state == 0, units); }
  void KeyLine(int16_t on) override;
  void Sidetone(SidetoneDevice device) override { engine_.SetSidetone(device); }
  void Tone(int16_t hz) override { engine_.SetTone(hz); }
  int16_t Active() override;
  void Unit(int64_t ns) override { engine_.SetUnitNs(ns); }
  void Idle() override { engine_.Idle(); }
  Result LineError() override;
  void PttTiming(int16_t leadMs, int16_t tailMs) override;
  void Tune(int ms) override;
  engine::SidetoneStatus SidetoneState() override { return engine_.SidetoneState(); }
  void ElementNs(bool down, int64_t ns) override { engine_.ElementNs(down, ns); }
  void Volume(int16_t percent) override { engine_.SetVolume(percent); }
  void HoldPtt(int16_t on, int limitMs) override;
  uint64_t HoldsDropped() override;
  bool Interrupted() override;
  int64_t NextChangeMs() override;
  // The counts run on together: only one of them moves at a time, since a
  // switch between them waits for everything before it to be sent.
  uint64_t Queued() override;
  uint64_t Ended() override;
  bool TakesCharacters() override { return text_ && keyLine_; }
  int CharactersAhead() override { return text_ ? text_->Ahead() : 1; }
  int64_t QueuedNs() override { return engine_.QueuedNs(); }
  bool Character(unsigned char c) override;
  void Speed(int16_t wpm) override;
  void Weight(int16_t percent) override;
  void Farnsworth(int16_t wpm) override {
    if (text_) text_->SetFarnsworth(wpm);
  }
  Text Name() override;
  uint64_t BreakIns() override;
  Result Paddle(const engine::PaddleSetup& setup) override;
  bool HandActive() override { return engine_.HandActive(); }
  uint64_t BrokeInAt() override { return paddle_ ? engine_.BrokeInAt() : ~uint64_t{0}; }
  std::string TakeHandText() override;
  bool OnAir() override;
  std::string StillSending() override { return text_ ? text_->StillSending() : std::string(); }

 private:
  // The engine on port with lines, PTT relayed to link when it has one.
  Result OpenEngine(int16_t port, const engine::LineChoice& lines,
                    std::unique_ptr<engine::RigLink> link);
  void CloseText();
  void ClosePaddle();

  engine::KeyerEngine& engine_;
  const KeyerKind* kind_ = &LineKeyer();
  std::unique_ptr<engine::TextKeyer> text_;      // a keyer that times itself
  std::unique_ptr<engine::RigLink> pttLink_;     // PTT over CAT for our own timing
  std::unique_ptr<engine::PaddleKeyer> paddle_;  // the hand, keying the engine
  engine::PaddleSetup paddleSetup_;              // what the hand keys through now
  uint64_t closedBreakIns_ = 0;                  // counted by paddles closed since
  int16_t weight_ = 50;
  bool keyLine_ = true;
  uint64_t closedQueued_ = 0, closedEnded_ = 0;  // counted by keyers closed since
};

}  // namespace orvex
