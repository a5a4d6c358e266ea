#include "core/net/net_keyer.h"

#include <algorithm>
#include <cstring>

#include "base/text.h"
#include "core/net/net_request.h"
#include "core/sending/morse_table.h"

namespace orvex {
namespace {

bool Same(const NetPeer& a, const NetPeer& b) {
  return a.length == b.length && std::memcmp(&a.address, &b.address, a.length) == 0;
}

}  // namespace

NetKeyer::NetKeyer(const Parts& parts) : p_(parts) {
  for (int c = 0; c < 256; ++c)
    patterns_[static_cast<size_t>(c)] = MorseCode(static_cast<unsigned char>(c));
  // Signs loggers write with characters of their own.
  patterns_['*'] = kSignAR;
  patterns_['<'] = kSignSK;
  patterns_['>'] = kSignBK;
  patterns_['&'] = kSignAS;
  patterns_['+'] = patterns_['-'] = patterns_['~'] = {};  // speed and pause, not keyed
}

void NetKeyer::Handle(std::string_view datagram, const NetPeer& from) {
  ++counts_.requests;
  const NetRequest request = ParseNetRequest(datagram);
  // ESC k: watch this sender; ESC k0, or its abort or reset: it is done.
  const bool k = request.command && request.name == 'k';
  Heard(from, k && request.argument != "0");
  if ((k && request.argument == "0") ||
      (request.command && (request.name == '4' || request.name == '0')))
    Forget(from);
  if (request.command)
    Command(request.name, request.argument, from);
  else
    QueueText(request.argument, from);
}

void NetKeyer::QueueText(std::string_view text, const NetPeer& from, std::string_view reply) {
  std::string_view keyed = text;
  const size_t caret = reply.empty() ? text.find('^') : std::string_view::npos;
  if (caret != std::string_view::npos) keyed = text.substr(0, caret);
  const Text cp = IsValidUtf8(keyed) && !IsAscii(keyed) ? Utf8ToCp1252(keyed) : Text(keyed);

  auto eraseLastChar = [](std::deque<Item>& items) {
    const auto last = std::find_if(items.rbegin(), items.rend(),
                                   [](const Item& i) { return i.kind == Kind::Char; });
    if (last == items.rend()) return false;
    items.erase(std::next(last).base());
    return true;
  };
  std::deque<Item> add;
  size_t backspaces = 0;  // reaching back into what was queued before
  bool tilde = tilde_;
  for (const char ch : cp) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == 8) {  // backspace: the last character not yet keyed
      if (!eraseLastChar(add)) ++backspaces;
    } else if (c == '+' || c == '-') {
      add.push_back({c == '+' ? Kind::Faster : Kind::Slower, {}, 0});
    } else if (c == '~') {
      tilde = true;
    } else if (c == ' ' || !patterns_[c].empty()) {
      add.push_back({Kind::Char, c == ' ' ? " " : patterns_[c], c, c != ' ' && tilde});
      if (c != ' ') tilde = false;
    }
  }
  // A request of several characters is a text of its own for the echo;
  // one character at a time (a logger keying as the operator types) runs on.
  const auto firstChar = std::find_if(
      add.begin(), add.end(), [](const Item& i) { return i.kind == Kind::Char && i.c != ' '; });
  if (firstChar != add.end() &&
      std::count_if(add.begin(), add.end(), [](const Item& i) { return i.kind == Kind::Char; }) > 1)
    firstChar->startsText = true;
  const bool caretReply = caret != std::string_view::npos || !reply.empty();
  if (!p_.send.Keying()) return Unkeyable(caretReply, from);
  const size_t replies = (caretReply ? 1 : 0) + (hWaiting_ ? 1 : 0);
  if (items_.size() + add.size() + replies > kQueueLimit) {
    ++counts_.refused;  // refused whole: never key half an exchange
    return;
  }
  for (; backspaces > 0 && eraseLastChar(items_); --backspaces) --chars_;
  tilde_ = tilde;
  chars_ += static_cast<size_t>(
      std::count_if(add.begin(), add.end(), [](const Item& i) { return i.kind == Kind::Char; }));
  items_.insert(items_.end(), add.begin(), add.end());
  if (caretReply) {
    items_.push_back({Kind::Reply, {}});
    answers_.push_back({from, reply.empty() ? std::string(keyed) + "\r\n" : std::string(reply)});
  }
  if (hWaiting_) {
    hWaiting_ = false;
    items_.push_back({Kind::Reply, {}});
    answers_.push_back(h_);
  }
  Settle();
}

void NetKeyer::Unkeyable(bool caretReply, const NetPeer& from) {
  ++counts_.unkeyed;
  if (caretReply) p_.replies.Reply(from, "break\r\n");
  if (hWaiting_) p_.replies.Reply(h_.to, "break\r\n");
  hWaiting_ = false;
}

void NetKeyer::Command(char name, std::string_view argument, const NetPeer& from) {
  const EnvSettings& s = p_.send.Settings();
  switch (name) {
    case '0':
      Reset();
      return;
    case '2':
      if (const auto wpm = NetNumber(argument, kNetSpeedLimits.lo, kNetSpeedLimits.hi))
        return Speed(*wpm);
      break;
    case '3':
      if (const auto hz = NetNumber(argument, kNetToneLimits.lo, kNetToneLimits.hi)) {
        if (*hz == 0) {
          p_.keyer.Sidetone(SidetoneDevice::None);
        } else {
          if (s.CWSidetone_Enable != 0)
            p_.keyer.Sidetone(engine::SidetoneDeviceFrom(s.CWSidetone_Device));
          p_.keyer.Tone(static_cast<int16_t>(*hz));
        }
        return;
      }
      break;
    case '4':  // in every mode: an abort always stops
      p_.send.Stop();
      return;
    case '5':
      if (!p_.control.Exit()) Ignored();
      return;
    case '6':  // word mode: characters go out as they come, which they do anyway
    case 'k':  // the sender keeps telling (Heard)
      return;
    case 's':
      Numbered(argument, from);
      return;
    case '7':
      if (const auto w = NetNumber(argument, -50, 50)) {
        weighting_ = *w;
        p_.keyer.Weight(static_cast<int16_t>(50 + *w));  // a keyer that times itself
        return;
      }
      break;
    case '8':
      if (!p_.control.SetDevice(TrimBlanks(argument))) Ignored();
      return;
    case 'a':
      if (const auto on = NetNumber(argument, -1'000'000, 1'000'000)) {
        // Never for ever: a hold with nothing keyed ends at the limit.
        p_.keyer.HoldPtt(*on != 0 ? 1 : 0, s.NetPttLimit * 1000);
        return;
      }
      break;
    case 'b':
    case 'e':
      return;  // the band and the SSB way: nothing on a serial or parallel port
    case 'c':
      if (const auto seconds = NetNumber(argument, 0, kMaxTuneSeconds)) {
        if (*seconds > 0) p_.send.Tune(*seconds);
        return;
      }
      break;
    case 'd':
      if (const auto ms = NetNumber(argument, 0, 1'000'000)) {
        // This station's own lead is its safety (an amplifier's relays):
        // a request may lengthen it, never shorten it.
        const int lead = std::max<int>(s.CWPttLead, std::min(*ms, kPttLeadLimits.hi));
        p_.keyer.PttTiming(static_cast<int16_t>(lead), s.CWPttTail);
        return;
      }
      break;
    case 'f':
      if (argument.size() == 1) {
        switch (argument[0]) {
          case 'n':
            p_.keyer.Sidetone(SidetoneDevice::None);
            return;
          case 's':
          case 'a':
          case 'p':
            p_.keyer.Sidetone(SidetoneDevice::SoundCard);
            return;
          case 'c':
            p_.keyer.Sidetone(SidetoneDevice::PcSpeaker);
            return;
          default:
            break;
        }
      }
      break;
    case 'g':
      if (const auto percent = NetNumber(argument, 0, 100)) {
        p_.keyer.Volume(static_cast<int16_t>(*percent));
        return;
      }
      break;
    case 'h':
      hWaiting_ = true;
      h_ = {from, std::string(1, 'h').append(argument).append("\r\n")};
      return;
    default:
      break;
  }
  Ignored();
}

void NetKeyer::Reset() {
  const EnvSettings& s = p_.send.Settings();
  p_.send.Stop();
  hWaiting_ = tilde_ = false;
  weighting_ = 0;
  p_.keyer.Weight(s.CWWeight);
  p_.keyer.HoldPtt(0);
  Speed(std::clamp<int>(s.CWSpeed, kSpeedLimits.lo, kSpeedLimits.hi));
  p_.keyer.Volume(100);
  p_.send.RestoreSidetone();
  p_.keyer.PttTiming(s.CWPttLead, s.CWPttTail);
}

void NetKeyer::Speed(int wpm) {
  p_.send.SetSpeed(static_cast<int16_t>(wpm));
}

void NetKeyer::Settle() {
  while (!items_.empty() && items_.front().kind != Kind::Char) {
    const Kind kind = items_.front().kind;
    items_.pop_front();
    if (kind == Kind::Reply) {
      if (answers_.empty()) continue;
      Answer answer = std::move(answers_.front());
      answers_.pop_front();
      answer.mark = lastDown_;
      due_.push_back(std::move(answer));
    } else {
      const int step = kind == Kind::Faster ? 2 : -2;
      Speed(std::clamp(p_.send.Speed() + step, kNetSpeedLimits.lo, kNetSpeedLimits.hi));
    }
  }
  Poll();
}

bool NetKeyer::StartsText() {
  Settle();
  return !items_.empty() && items_.front().startsText;
}

unsigned char NetKeyer::KeyNext() {
  Settle();
  if (items_.empty()) return 0;
  const Item item = items_.front();
  items_.pop_front();
  --chars_;
  Key(item);
  Settle();
  return item.c;
}

void NetKeyer::Key(const Item& item) {
  if (p_.keyer.TakesCharacters()) {
    // A keyer that times itself keys the character at the speed in effect.
    if (p_.keyer.Character(item.c)) lastDown_ = p_.keyer.Queued();
    return;
  }
  // A unit from the speed in effect, to the nanosecond; weighting moves
  // time from each gap to the element before it, so words keep their length.
  const int64_t unit = UnitNs(p_.send.Speed());
  const int64_t shift = unit * 12 * weighting_ / 1000;
  if (item.pattern == " ") {
    p_.keyer.ElementNs(false, 4 * unit);  // with the 3 after a character: 7
    return;
  }
  for (size_t i = 0; i < item.pattern.size(); ++i) {
    const bool last = i + 1 == item.pattern.size();
    p_.keyer.ElementNs(true, (item.pattern[i] == '-' ? 3 * unit : unit) + shift);
    lastDown_ = p_.keyer.Queued();
    p_.keyer.ElementNs(false,
                       (last ? 3 * unit : unit) - shift + (last && item.pauseAfter ? 2 * unit : 0));
  }
}

NetKeyer::Teller& NetKeyer::TellerFor(const NetPeer& from) {
  for (Teller& t : tellers_)
    if (Same(t.peer, from)) return t;
  // A few senders at a time: the oldest one not watched makes room.
  constexpr size_t kMostTellers = 64;
  if (tellers_.size() >= kMostTellers)
    if (const auto old = std::find_if(tellers_.begin(), tellers_.end(),
                                      [](const Teller& t) { return !t.watched; });
        old != tellers_.end())
      tellers_.erase(old);
  tellers_.push_back({from, p_.send.Time().MonotonicMs(), false, {}, false});
  return tellers_.back();
}

void NetKeyer::Heard(const NetPeer& from, bool tells) {
  const int64_t now = p_.send.Time().MonotonicMs();
  for (Teller& t : tellers_)
    if (Same(t.peer, from)) t.heardMs = now;
  if (tells) TellerFor(from).watched = true;
}

void NetKeyer::Forget(const NetPeer& from) {
  for (Teller& t : tellers_)
    if (Same(t.peer, from)) t.watched = false;
}

bool NetKeyer::Watching() const {
  return std::any_of(tellers_.begin(), tellers_.end(), [](const Teller& t) { return t.watched; });
}

void NetKeyer::Numbered(std::string_view argument, const NetPeer& from) {
  if (argument.empty()) {
    p_.replies.Reply(from, "s\r\n");  // the probe: this end numbers characters
    return;
  }
  const size_t blank = argument.find(' ');
  const std::string seq(argument.substr(0, blank));
  const std::string reply = "s" + seq + "\r\n";
  Teller& t = TellerFor(from);
  if (t.seq == seq) {
    // Sent again (its request or its reply was lost) or duplicated on the
    // way: keyed once; answered again once it has been keyed.
    if (t.replied) p_.replies.Reply(from, reply);
    return;
  }
  t.seq = seq;
  t.replied = false;
  QueueText(blank == std::string_view::npos ? std::string_view() : argument.substr(blank + 1), from,
            reply);
}

void NetKeyer::CheckSilence() {
  const int64_t now = p_.send.Time().MonotonicMs();
  const int64_t limitMs = int64_t{p_.send.Settings().NetSilenceLimit} * 1000;
  const auto silent = std::find_if(tellers_.begin(), tellers_.end(), [&](const Teller& t) {
    return t.watched && now - t.heardMs >= limitMs;
  });
  if (silent == tellers_.end()) return;
  silent->watched = false;
  if (!Busy() && p_.keyer.Pending() == 0 && p_.keyer.Active() == 0) return;
  // Gone without a word (killed, its link cut): nothing it started goes on.
  p_.send.Stop();
  p_.keyer.HoldPtt(0);
  p_.attention.Failed(
      "Keying from a logger",
      Result::Refused("A keyer that keys through here went silent for " +
                      std::to_string(p_.send.Settings().NetSilenceLimit) +
                      " s: what it was sending is stopped and PTT is down (NetSilenceLimit)."));
}

void NetKeyer::Poll() {
  CheckSilence();
  if (const uint64_t dropped = p_.keyer.HoldsDropped(); dropped != holdsDropped_) {
    holdsDropped_ = dropped;
    p_.attention.Failed(
        "Keying from a logger",
        Result::Refused("A logger held PTT on for " +
                        std::to_string(p_.send.Settings().NetPttLimit) +
                        " s without keying anything: PTT is down again (NetPttLimit)."));
  }
  if (due_.empty()) return;
  // Text keyed until the port failed was not all sent: its reply says so.
  const bool keying = p_.send.Keying();
  const uint64_t ended = p_.keyer.Ended();
  while (!due_.empty() && ended >= due_.front().mark) {
    const Answer& a = due_.front();
    p_.replies.Reply(a.to, keying ? a.text : "break\r\n");
    for (Teller& t : tellers_)
      if (Same(t.peer, a.to) && a.text == "s" + t.seq + "\r\n") t.replied = true;
    due_.pop_front();
  }
}

int64_t NetKeyer::NextWakeMs() {
  if (!Busy()) return -1;
  if (items_.empty() && due_.empty()) {  // only a sender to watch
    int64_t first = INT64_MAX;
    for (const Teller& t : tellers_)
      if (t.watched) first = std::min(first, t.heardMs);
    return first + int64_t{p_.send.Settings().NetSilenceLimit} * 1000;
  }
  // The keyer's next change first, then whether a reply is due already: the
  // element a reply waits for may end between the two, and then the next
  // change is a whole gap away.
  const int64_t next = p_.keyer.NextChangeMs();
  if (!due_.empty() && p_.keyer.Ended() >= due_.front().mark) return 0;
  return next;
}

void NetKeyer::Clear() {
  items_.clear();
  chars_ = 0;
  tilde_ = false;
  // Each reply still owed is answered once, whatever ended it.
  for (const Answer& answer : due_) p_.replies.Reply(answer.to, "break\r\n");
  for (const Answer& answer : answers_) p_.replies.Reply(answer.to, "break\r\n");
  due_.clear();
  answers_.clear();
}

}  // namespace orvex
