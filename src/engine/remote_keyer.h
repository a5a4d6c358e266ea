// A keyer on another machine that speaks the loggers' UDP keying protocol
// (orvex-keyd, or another daemon of that protocol). Each character goes as
// a request of its own with a caret, a few ahead of the key, and its reply
// says it has been keyed: the echo follows the replies, a stop drops what
// the far end has not started. No reply in good time is a failure, never a
// wait for ever.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "engine/emergency.h"
#include "engine/ptt_hold.h"
#include "engine/text_keyer.h"

namespace orvex::engine {

class RemoteKeyer : public TextKeyer {
 public:
  static constexpr size_t kAhead = 3;  // characters sent and not yet answered

  // peer: the far keyer's address, already resolved; name as the operator
  // wrote it ("192.168.7.2:6789"), for the status bar.
  static Result Open(const sockaddr* peer, socklen_t length, std::string name,
                     std::unique_ptr<RemoteKeyer>* keyer);
  ~RemoteKeyer() override;

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

 private:
  // Every stop this process can catch (Ctrl+C, TERM, HUP, Ctrl+Z) tells the
  // far end abort and PTT off from the handler; the guard tells it when
  // the process dies in a way no handler sees.
  RemoteKeyer(int fd, std::string address)
      : fd_(fd),
        address_(std::move(address)),
        registration_(emergency::Register(fd, emergency::Kind::FarKeyer)) {}
  struct Char {
    std::string what;
    int units;
  };
  void Request(const std::string& bytes);
  // A protocol command: ESC, its letter and its argument.
  void Command(char letter, const std::string& argument = {});
  // The replies that came, and the next characters while there is room.
  void Advance();
  void Drop();
  void Fail(int err, const std::string& words);

  int fd_;
  std::string address_;
  std::deque<Char> waiting_, inFlight_;
  int stale_ = 0;  // replies still owed for characters a stop dropped
  int64_t unitNs_ = 1'200'000'000 / 28;
  int64_t heardNs_ = 0;  // the far end last answered, or was last asked
  int64_t tuneEndNs_ = 0;
  int64_t askedNs_ = 0;  // the far end was last sent anything
  bool told_ = false;    // it was told to watch us (ESC k), and not told we are done
  PttHold hold_;
  uint64_t queued_ = 0, ended_ = 0, holdsDropped_ = 0;
  Result failure_;
  emergency::Registration registration_;
};

}  // namespace orvex::engine
