#include "core/sending/engine_keyer.h"

#include <algorithm>

#include "base/clock.h"
#include "core/sending/morse_table.h"
#include "engine/lines/device_names.h"

namespace orvex {
Result EngineKeyer::OpenEngine(int16_t port, const engine::LineChoice& lines,
                               std::unique_ptr<engine::RigLink> link) {
  // A relay is changed only while the timing thread is stopped.
  if (link || pttLink_) engine_.Close();
  engine_.SetPttRelay(link.get());
  const Result opened = engine_.Open(port, lines);
  if (!opened.ok()) {
    engine_.SetPttRelay(pttLink_.get());
    return opened;
  }
  pttLink_ = std::move(link);
  return {};
}

Result EngineKeyer::Open(int16_t port, const Wiring& wiring) {
  const KeyerKind& kind = *wiring.keyer;
  // The paddle reads the port that is open now: asked for again once the
  // new one is.
  ClosePaddle();
  // A keyer chip's kind with no port keys nothing: the sidetone alone.
  const bool ownTiming = !kind.open || (kind.port == PortUse::Serial && port == 0);
  const bool pttByCat = wiring.lines.ptt == engine::SerialLine::Rig;
  engine::KeyerPlace place{engine::DeviceForPort(port), wiring.rig, wiring.remote};
  place.rig.ownsPtt = pttByCat && OneOf(kind.pttLines, "Rig");
  if (ownTiming) {
    // PTT by CAT while the engine keys the port's line.
    std::unique_ptr<engine::RigLink> link;
    if (place.rig.ownsPtt && port != 0)
      if (Result opened = engine::RigLink::Open(place.rig, &link); !opened.ok()) return opened;
    if (Result opened = OpenEngine(port, wiring.lines, std::move(link)); !opened.ok())
      return opened;
    CloseText();
    kind_ = &kind;
    return {};
  }
  if (kind.port == PortUse::Serial && port < 0)
    return Result::Failed(
        Fault::Open, ENOTTY,
        std::string("a ") + kind.name + " is on a serial port (COM1 to COM8 or a device path)");
  std::unique_ptr<engine::TextKeyer> text;
  if (Result opened = kind.open(place, &text); !opened.ok()) return opened;
  CloseText();
  // The engine plays what must not key the transmitter: notices in the
  // sidetone, text while the key line is off.
  (void)OpenEngine(0, {}, nullptr);
  text_ = std::move(text);
  kind_ = &kind;
  keyLine_ = true;
  return {};
}

void EngineKeyer::CloseText() {
  if (!text_) return;
  text_->Clear();  // everything it held ends here
  closedQueued_ += text_->Queued();
  closedEnded_ += text_->Ended();
  text_.reset();
}

void EngineKeyer::ClosePaddle() {
  if (paddle_) closedBreakIns_ += paddle_->BreakIns();
  paddle_.reset();
  paddleSetup_ = {};
}

Result EngineKeyer::Paddle(const engine::PaddleSetup& setup) {
  if (setup == paddleSetup_) return {};
  ClosePaddle();
  if (setup.mode == engine::PaddleMode::None && !text_) return {};
  // A keyer with a paddle input of its own reads the paddle itself.
  if (Result set = text_ ? text_->SetPaddle(setup.mode, setup.swap)
                         : engine::PaddleKeyer::Open(engine_, setup, &paddle_);
      !set.ok())
    return set;
  if (paddle_) paddle_->SetWeight(weight_);
  paddleSetup_ = setup;
  return {};
}

uint64_t EngineKeyer::BreakIns() {
  return closedBreakIns_ + (paddle_ ? paddle_->BreakIns() : 0) + (text_ ? text_->BreakIns() : 0);
}

std::string EngineKeyer::TakeHandText() {
  return paddle_ ? paddle_->TakeText() : text_ ? text_->TakePaddleText() : std::string();
}

void EngineKeyer::Close() {
  ClosePaddle();
  CloseText();
  engine_.Close();
  engine_.SetPttRelay(nullptr);
  pttLink_.reset();
  kind_ = &LineKeyer();
}

void EngineKeyer::Abort() {
  if (text_) text_->Clear();
  engine_.Abort();
}

int16_t EngineKeyer::Pending() {
  const int text = text_ ? text_->Pending() : 0;
  return static_cast<int16_t>(std::min(engine_.Pending() + text, 32767));
}

uint64_t EngineKeyer::Queued() {
  return engine_.Queued() + closedQueued_ + (text_ ? text_->Queued() : 0);
}

uint64_t EngineKeyer::Ended() {
  return engine_.Ended() + closedEnded_ + (text_ ? text_->Ended() : 0);
}

void EngineKeyer::KeyLine(int16_t on) {
  keyLine_ = on != 0;
  engine_.SetKeyLine(on != 0);
}

bool EngineKeyer::OnAir() {
  // PTT by CAT: what the radio says, once it has said anything.
  const std::optional<bool> radio = pttLink_ ? pttLink_->RadioPtt()
                                    : text_  ? text_->RadioPtt()
                                             : std::nullopt;
  return radio ? *radio : Active() != 0;
}

int16_t EngineKeyer::Active() {
  return engine_.Active() || (text_ && text_->Busy()) ? 1 : 0;
}

Result EngineKeyer::LineError() {
  if (text_) return text_->Failure();
  if (paddle_ && paddle_->Error() != 0)
    return Result::Failed(Fault::Read, paddle_->Error(), "the paddle's port stopped answering");
  if (pttLink_)
    if (Result ptt = pttLink_->Failure(); !ptt.ok()) return ptt;
  return engine_.LineError();
}

void EngineKeyer::PttTiming(int16_t leadMs, int16_t tailMs) {
  engine_.SetPttTiming(leadMs, tailMs);
  if (text_) text_->SetPttTiming(leadMs, tailMs);
}

void EngineKeyer::Tune(int ms) {
  if (text_)
    text_->Tune(ms);
  else
    engine_.Tune(ms);
}

void EngineKeyer::HoldPtt(int16_t on, int limitMs) {
  if (text_)
    text_->HoldPtt(on != 0, limitMs);
  else
    engine_.HoldPtt(on != 0, limitMs);
}

uint64_t EngineKeyer::HoldsDropped() {
  return engine_.HoldsDropped() + (text_ ? text_->HoldsDropped() : 0);
}

bool EngineKeyer::Interrupted() {
  return engine_.Interrupted() || (text_ && text_->Interrupted());
}

int64_t EngineKeyer::NextChangeMs() {
  // A keyer that times itself says when a character has gone only as it
  // happens: while it sends, look again soon.
  if (text_ && text_->Busy()) return MonotonicNs() / 1'000'000 + 10;
  const int64_t ns = engine_.NextChangeNs();
  return ns == engine::kNoDeadline ? -1 : ns / 1'000'000;
}

bool EngineKeyer::Character(unsigned char c) {
  if (!TakesCharacters()) return false;
  const std::string written = text_->Written(c);
  if (written.empty()) return false;
  text_->Send(written, CharacterUnits(c));
  return true;
}

void EngineKeyer::Speed(int16_t wpm) {
  if (text_) text_->SetSpeed(std::clamp<int>(wpm, kind_->speed.lo, kind_->speed.hi));
}

void EngineKeyer::Weight(int16_t percent) {
  weight_ = percent;
  if (text_) text_->SetWeight(percent);
  if (paddle_) paddle_->SetWeight(percent);
}

Text EngineKeyer::Name() {
  return text_ ? Utf8ToCp1252(text_->Name()) : Text();
}

}  // namespace orvex
