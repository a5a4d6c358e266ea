// The window's echo of what is sent. Each character is recorded as it goes
// to the keyer and followed by the keyer's own count of ended elements: it
// is being keyed from its first element's start, sent when its last has
// ended, and dropped when a stop came first. What waits in the send queue
// is read from it, so the echo shows it dimmed after the key.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>

#include "core/sending/keyer.h"
#include "core/sending/send_queue.h"
#include "core/sending/send_seams.h"

namespace orvex {

class SentEcho : public SendObserver {
 public:
  enum class State : uint8_t { Waiting, Keying, Sent, Dropped };
  struct Char {
    unsigned char c;  // Windows-1252; '\n' ends a line
    State state;
    uint64_t first;  // the keyer's element count when it went to the keyer
  };
  static constexpr size_t kKept = 4000;  // characters remembered

  explicit SentEcho(Keyer& keyer) : keyer_(keyer) {}
  void Watch(const SendQueue* queue) { queue_ = queue; }
  // Told when a character goes to the keyer: the window follows the key
  // closely from then on, until Busy() ends.
  void SetListener(std::function<void()> listener) { listener_ = std::move(listener); }

  void Queued(const Text&, int) override {}
  void Paused(int) override {}
  void Keying(unsigned char c, uint64_t firstElement) override;
  void Stopped(const Text& dropped) override;

  // Brings every state up to the keyer; true when anything changed since
  // the last call (a character came, a stop, a state moved on).
  bool Update();
  // Something handed to the keyer is not sent yet.
  bool Busy() const { return open_ < chars_.size(); }
  const std::deque<Char>& Chars() const { return chars_; }
  // Text the send queue holds that has not gone to the keyer.
  Text Queued() const;

 private:
  void Trim();
  Keyer& keyer_;
  const SendQueue* queue_ = nullptr;
  std::function<void()> listener_;
  std::deque<Char> chars_;
  size_t open_ = 0;  // chars_ before this are final (sent or dropped)
  bool changed_ = false;
};

}  // namespace orvex
