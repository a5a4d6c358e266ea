// A keyer on another machine that speaks the loggers' UDP keying protocol
// (orvex-keyd, or another daemon of that protocol). One character is in
// flight at a time, the next sent on its reply, so the text is keyed in
// order whatever the network reorders; the far end's reply to a
// character comes as its last key-up ends, and the next one arrives
// during the gap after it. With an orvex-keyd, which answers the probe
// "ESC s" at open, each character carries a sequence number ("ESC s17 P",
// answered "s17"): a lost request or reply is sent again, and a duplicate
// is neither keyed twice nor taken for the next reply. Another daemon is
// sent "P^" and answers "P". The echo follows the replies; a stop drops
// what the far end has not started; no reply in good time is a failure,
// never a wait for ever.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "engine/keyers/morse_code.h"
#include "engine/keyers/ptt_hold.h"
#include "engine/keyers/text_keyer.h"
#include "engine/system/emergency.h"

namespace orvex::engine {

class RemoteKeyer : public TextKeyer {
 public:
  // peer: the far keyer's address, already resolved; name as the operator
  // wrote it ("192.168.7.2:6789"), for the status bar. Asks whether the far
  // end numbers its characters (a few tens of ms at most); refused when
  // the far computer says nothing listens there.
  static Result Open(const sockaddr* peer, socklen_t length, std::string name,
                     std::unique_ptr<RemoteKeyer>* keyer);
  ~RemoteKeyer() override;
  // The kind's opener: the far keyer at place.remote, a numeric host:port
  // (no name lookup on the caller's thread).
  static Result OpenAt(const KeyerPlace& place, std::unique_ptr<TextKeyer>* keyer);
  // The protocol's own letters for the signs; its "+", "-" and "~" change
  // the speed or pause, so those signs cannot be sent.
  std::string Written(unsigned char c) const override;

  void Send(std::string_view what, int units) override;
  void Clear() override;
  void SetSpeed(int wpm) override;
  void SetWeight(int percent) override;
  void SetPttTiming(int leadMs, int tailMs) override;
  void Tune(int ms) override;
  void HoldPtt(bool on, int limitMs) override;
  int Pending() override;
  uint64_t Queued() override { return queued_; }
  uint64_t Ended() override;
  Result Failure() override { return failure_; }
  // Its own limit, besides the far end's: a hold forwarded here ends here.
  uint64_t HoldsDropped() override { return holdsDropped_; }
  std::string Name() override { return "Keyer at " + address_; }
  // The far end numbers the characters (an orvex-keyd).
  bool Numbered() const { return numbered_; }

 private:
  // Every stop this process can catch (Ctrl+C, TERM, HUP, Ctrl+Z) tells the
  // far end abort and PTT off from the handler; the guard tells it when
  // the process dies in a way no handler sees.
  RemoteKeyer(int fd, std::string address);
  struct Char {
    std::string what;
    int units;
  };
  void Request(const std::string& bytes);
  // A protocol command: ESC, its letter and its argument.
  void Command(char letter, const std::string& argument = {});
  // The character in flight, (again) on the wire.
  void SendInFlight(int64_t now);
  // A reply: the one the character in flight waits for, or one to ignore.
  void Answer(std::string_view reply, int64_t now);
  // The replies that came, the next character when there is room.
  void Advance();
  void Drop();
  void Fail(int err, const std::string& words);

  int fd_;
  std::string address_;
  bool numbered_ = false;
  std::deque<Char> waiting_;
  bool inFlight_ = false;  // waiting_.front() is on the wire
  uint64_t seq_;           // the number of the character in flight
  int64_t unitNs_ = UnitNs(28);
  int64_t sentNs_ = 0;   // the character in flight was first sent
  int64_t againNs_ = 0;  // and is sent again then, unanswered
  int64_t tuneEndNs_ = 0;
  int64_t askedNs_ = 0;  // the far end was last sent anything
  bool told_ = false;    // it was told to watch us (ESC k), and not told we are done
  PttHold hold_;
  uint64_t queued_ = 0, ended_ = 0, dropped_ = 0, holdsDropped_ = 0;
  Result failure_;
  emergency::Registration registration_;
};

}  // namespace orvex::engine
