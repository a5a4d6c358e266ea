// Keying for loggers: the requests of the UDP keying protocol (Tlf, CQRLOG,
// QLog and others speak it) turned into keying. Text waits here and goes to
// the keyer through the send queue's pump, a character at a time, so the
// operator's Esc stops it and typed text and messages keep their turn.
// Each character is keyed with its own element lengths: the protocol's
// speed changes inside the text and its weighting apply to it exactly.
// Replies (the caret's, the "h" command's, "break") go back to the
// requester once the last element of their text has ended.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "core/config/env_settings.h"
#include "core/config/settings_table.h"
#include "core/sending/keyer.h"
#include "core/sending/send_path.h"
#include "core/sending/send_seams.h"

namespace orvex {

// What the protocol lets a logger ask for.
inline constexpr Limits kNetSpeedLimits{4, 60};   // words per minute
inline constexpr Limits kNetToneLimits{0, 4000};  // Hz; 0 is no sidetone

// Where a request came from, and where its reply goes.
struct NetPeer {
  sockaddr_storage address{};
  socklen_t length = 0;
  // The address the request was sent to (family 0: not known), which its
  // reply leaves from.
  struct {
    int family = 0;
    in_pktinfo v4{};
    in6_pktinfo v6{};
  } local;
};

class NetReplies {
 public:
  virtual ~NetReplies() = default;
  virtual void Reply(const NetPeer& to, std::string_view bytes) = 0;
};

// What a request may ask of the program around the send path: the window
// refuses both, orvex-keyd does both.
class NetControl {
 public:
  virtual ~NetControl() = default;
  virtual bool Exit() = 0;  // false where a request may not end the program
  virtual bool SetDevice(std::string_view name) = 0;  // another port; false where it may not
};

class NetKeyer : public KeyedSource {
 public:
  struct Parts {
    Keyer& keyer;    // the send path's, which this source keys
    SendPath& send;  // its settings are what a reset returns to
    NetReplies& replies;
    NetControl& control;
    Attention& attention;  // told when a logger's hold of PTT ran out
  };
  explicit NetKeyer(const Parts& parts);

  void Handle(std::string_view datagram, const NetPeer& from);
  // Sends the replies whose text has been keyed.
  void Poll();
  // Text or a reply is waiting, or a sender that keeps telling is watched:
  // the caller services it at NextWakeMs.
  bool Busy() const { return !items_.empty() || !due_.empty() || Watching(); }
  // When the caller must service it next (ms, monotonic): as the keyer's
  // next element ends while text or a reply waits (0: a reply is due now);
  // -1 when nothing waits or the keyer has nothing under way (the caller's
  // tick serves it then).
  int64_t NextWakeMs();

  size_t Waiting() const override { return chars_; }
  unsigned char KeyNext() override;
  bool StartsText() override;
  // A stop (the operator's Esc, or the protocol's abort or reset): text
  // dropped, replies still waiting answered "break".
  void Clear() override;

  // Requests taken, ignored as malformed or unknown, refused for want of
  // room in the queue, refused because the port was not keying.
  struct Counts {
    uint64_t requests = 0, ignored = 0, refused = 0, unkeyed = 0;
  };
  const Counts& Totals() const { return counts_; }

 private:
  enum class Kind : uint8_t { Char, Faster, Slower, Reply };
  struct Item {
    Kind kind;
    std::string_view pattern;  // ".-" and the like; " " a word space
    unsigned char c = 0;       // as received, for the echo
    bool pauseAfter = false;   // the "~" before it: two dots' silence after
    bool startsText = false;   // the first of a request of several characters
  };
  struct Answer {
    NetPeer to;
    std::string text;
    uint64_t mark = 0;  // sent once this many elements have ended
  };

  // reply: what answers the text once keyed, besides a caret's echo.
  void QueueText(std::string_view text, const NetPeer& from, std::string_view reply = {});
  // A numbered character (ESC s, another Orvex): keyed once however often
  // it comes, its number answered as it ends, and again when asked again.
  void Numbered(std::string_view argument, const NetPeer& from);
  void Command(char name, std::string_view argument, const NetPeer& from);
  void Reset();
  // Carries out the speed changes and replies at the front of the queue.
  void Settle();
  void Key(const Item& item);
  void Speed(int wpm);
  void Ignored() { ++counts_.ignored; }
  // A sender that keeps telling (ESC k, as another Orvex keying through
  // this one does at least once a second): heard from now; silent for
  // NetSilenceLimit, what it keys, tunes or holds here is ended.
  void Heard(const NetPeer& from, bool tells);
  void Forget(const NetPeer& from);
  bool Watching() const;
  void CheckSilence();
  // Text that cannot be keyed now (the port failed, or the process was
  // stopped): nothing queued, and every reply it owed answered "break" at
  // once, so the logger neither waits nor takes it as sent.
  void Unkeyable(bool caretReply, const NetPeer& from);

  Parts p_;
  std::array<std::string_view, 256> patterns_{};  // by Windows-1252 code
  std::deque<Item> items_;
  std::deque<Answer> answers_;  // the replies in the queue, in order
  std::deque<Answer> due_;      // replies whose text has gone to the keyer
  size_t chars_ = 0;
  bool tilde_ = false;  // a "~" waits for its character
  bool hWaiting_ = false;
  uint64_t holdsDropped_ = 0;  // the keyer's count, as last told
  Answer h_;
  int weighting_ = 0;
  uint64_t lastDown_ = 0;  // the mark just after this source's last key-down
  // Another Orvex keying through this one: watched for silence once it
  // said ESC k, and the number of its last character.
  struct Teller {
    NetPeer peer;
    int64_t heardMs;
    bool watched = false;
    std::string seq;
    bool replied = false;  // seq's reply has gone
  };
  Teller& TellerFor(const NetPeer& from);
  std::vector<Teller> tellers_;
  Counts counts_;
};

}  // namespace orvex
