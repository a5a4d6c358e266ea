#include "core/frame/sent_echo.h"

namespace orvex {

void SentEcho::Keying(unsigned char c, uint64_t firstElement) {
  chars_.push_back({c, State::Waiting, firstElement});
  Trim();
  changed_ = true;
  if (listener_) listener_();
}

void SentEcho::Stopped(const Text& dropped) {
  // The keyer has not been aborted yet: what it has not started is lost.
  // A keyer that times itself says a character went only once it has gone
  // (its echo, a reply): one it had begun is not known to be sent.
  const uint64_t ended = keyer_.Ended(), queued = keyer_.Queued();
  const bool whole = keyer_.TakesCharacters();
  for (size_t i = open_; i < chars_.size(); ++i) {
    const uint64_t end = i + 1 < chars_.size() ? chars_[i + 1].first : queued;
    const uint64_t sentAt = whole && end > chars_[i].first ? end : chars_[i].first;
    chars_[i].state = ended >= sentAt ? State::Sent : State::Dropped;
  }
  for (char c : dropped) chars_.push_back({static_cast<unsigned char>(c), State::Dropped, 0});
  open_ = chars_.size();
  Trim();
  changed_ = true;
  if (listener_) listener_();
}

bool SentEcho::Update() {
  const uint64_t ended = keyer_.Ended(), queued = keyer_.Queued();
  bool changed = changed_;
  changed_ = false;
  for (size_t i = open_; i < chars_.size(); ++i) {
    // A character's elements run up to the next one's first; one without
    // elements (a line end, a character with no Morse) is passed as soon
    // as the key reaches it.
    const uint64_t end = i + 1 < chars_.size() ? chars_[i + 1].first : queued;
    const State now = ended >= end               ? State::Sent
                      : ended >= chars_[i].first ? State::Keying
                                                 : State::Waiting;
    changed |= now != chars_[i].state;
    chars_[i].state = now;
  }
  while (open_ < chars_.size() && chars_[open_].state == State::Sent) ++open_;
  return changed;
}

Text SentEcho::Queued() const {
  if (!queue_) return {};
  return queue_->Readable();
}

void SentEcho::Trim() {
  // Whole characters go: one Windows-1252 lacks spans several codes, and
  // half of it would show as other characters.
  while (chars_.size() > kKept && open_ > 0) {
    Text front;
    for (size_t i = 0; i < chars_.size() && i < 8; ++i) front += static_cast<char>(chars_[i].c);
    const size_t n = CharLength(front, 0);
    if (n > open_) break;
    chars_.erase(chars_.begin(), chars_.begin() + static_cast<std::ptrdiff_t>(n));
    open_ -= n;
  }
}

}  // namespace orvex
