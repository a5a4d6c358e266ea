#include "engine/keyers/rig_keyer.h"

#include <algorithm>
#include <utility>

#include "base/clock.h"
#include "engine/keyers/morse_code.h"

namespace orvex::engine {
namespace {

// The radio is handed its next word when what it holds runs out within
// this: enough to bridge a late look, little to lose on a stop.
constexpr int64_t kAheadNs = 300'000'000;
// Part of a word waits for the rest until the radio is about to run dry
// (the send path looks every 10 ms while it sends), so that the radio is
// handed words, not a command for every letter.
constexpr int64_t kDryNs = 100'000'000;
constexpr size_t kPieceChars = 6;  // a piece ends at a blank, or after this many

}  // namespace

RigKeyer::RigKeyer(std::unique_ptr<RigLink> link, bool pttByCat)
    : link_(std::move(link)), pttByCat_(pttByCat) {}

RigKeyer::~RigKeyer() {
  Clear();
}

Result RigKeyer::OpenAt(const KeyerPlace& place, std::unique_ptr<TextKeyer>* keyer) {
  std::unique_ptr<RigLink> link;
  if (Result opened = RigLink::Open(place.rig, &link); !opened.ok()) return opened;
  *keyer = std::make_unique<RigKeyer>(std::move(link), place.rig.ownsPtt);
  return {};
}

std::string RigKeyer::Written(unsigned char c) const {
  if (MorseCode(c).empty() || c >= 128) return {};
  return std::string(1, static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
}

void RigKeyer::Send(std::string_view what, int units) {
  Advance();
  if (Failure().failed()) return;
  waiting_.push_back({std::string(what), units});
  ++queued_;
  Advance();
}

void RigKeyer::Drop() {
  // What was handed over counted as ended then; what was not is dropped,
  // and counted only at the send path's stop (Clear): the echo shows as
  // sent only what the radio was given.
  dropped_ += waiting_.size();
  waiting_.clear();
  handed_.clear();
}

void RigKeyer::Clear() {
  const int64_t now = MonotonicNs();
  if (!handed_.empty()) {
    // What the radio holds may still go when it cannot be stopped: kept to
    // say so (StillSending), once the radio has answered the stop.
    held_.clear();
    for (const Char& c : handed_)
      if (c.endNs > now) held_ += c.what;
    heldUntilNs_ = doneNs_;
    stopsRefused_ = link_->StopsRefused();
    link_->StopMorse();
  }
  Drop();
  ended_ += std::exchange(dropped_, 0);
  if (pttByCat_) link_->Ptt(false);  // after the stop, so no element is cut
  doneNs_ = now;
  hold_.Drop();
}

std::string RigKeyer::StillSending() {
  if (held_.empty() || MonotonicNs() >= heldUntilNs_ || link_->StopsRefused() == stopsRefused_)
    return {};
  return held_;
}

void RigKeyer::SetSpeed(int wpm) {
  unitNs_ = UnitNs(wpm);
  link_->SetSpeed(wpm);
}

void RigKeyer::SetPttTiming(int leadMs, int tailMs) {
  leadNs_ = int64_t{std::max(leadMs, 0)} * 1'000'000;
  tailNs_ = int64_t{std::max(tailMs, 0)} * 1'000'000;
}

void RigKeyer::HoldPtt(bool on, int limitMs) {
  if (!pttByCat_) return;  // the radio keys its own PTT
  hold_.Ask(on, int64_t{std::max(limitMs, 0)} * 1'000'000, MonotonicNs());
  on = hold_.Held();
  if (on || link_->PttOn()) link_->PttUntil(PttEndNs());
  Advance();
}

int64_t RigKeyer::PttEndNs() const {
  const int64_t tail = doneNs_ + tailNs_;
  return hold_.Held() ? std::max(tail, hold_.Deadline()) : tail;
}

int RigKeyer::Pending() {
  Advance();
  return static_cast<int>(waiting_.size() + handed_.size());
}

uint64_t RigKeyer::Ended() {
  Advance();
  return ended_;
}

void RigKeyer::Advance() {
  if (Failure().failed()) {
    Drop();
    return;
  }
  const int64_t now = MonotonicNs();
  while (!handed_.empty() && handed_.front().endNs <= now) handed_.pop_front();
  if (hold_.Expire(now)) {  // held with nothing sent for too long: the link dropped it
    ++holdsDropped_;
  }
  bool whole = waiting_.size() >= kPieceChars;
  for (size_t i = 0; !whole && i < waiting_.size(); ++i) whole = waiting_[i].what == " ";
  if (!waiting_.empty() && doneNs_ - now < (whole ? kAheadNs : kDryNs)) {
    int64_t at = std::max(now, doneNs_), notBefore = 0;
    if (pttByCat_ && !link_->PttOn()) {
      at += leadNs_;  // PTT goes on first, the text after the lead
      notBefore = at;
    }
    std::string piece;
    while (!waiting_.empty() && piece.size() < kPieceChars) {
      Char c = std::move(waiting_.front());
      waiting_.pop_front();
      at += c.units * unitNs_;
      c.endNs = at;
      piece += c.what;
      const bool blank = c.what == " ";
      handed_.push_back(std::move(c));
      ++ended_;  // handed over: all the radio will ever say of it
      if (blank) break;
    }
    doneNs_ = at;
    hold_.KeyDown();
    hold_.KeyedUntil(doneNs_);
    // The link's own thread drops PTT after the tail, whoever looks or not.
    if (pttByCat_) link_->PttUntil(PttEndNs());
    link_->SendMorse(piece, notBefore);
  }
}

}  // namespace orvex::engine
