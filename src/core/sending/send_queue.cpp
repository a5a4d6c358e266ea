#include "core/sending/send_queue.h"

#include <algorithm>

namespace orvex {
namespace {

// What messages and files keep queued ahead of the key.
constexpr int64_t kAheadNs = 250'000'000;

constexpr int kMaxPauseSeconds = 30;

}  // namespace

Text SendQueue::Readable() const {
  Text out;
  for (Slot n : {Slot::Notice, Slot::File, Slot::Message, Slot::Typed}) {
    const Text& text = SlotText(n);
    for (size_t i = 0; i < text.size(); ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if (c == kCodePause) {
        ++i;  // its length is no text to read
      } else if (c == kCodeSpeed) {
        i += 2;
      } else if (c == kCodeFile) {
        while (i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) > 32)
          ++i;  // the name
      } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        out += '\n';
        ++i;
      } else if (!IsQueueCode(c)) {
        out += static_cast<char>(c);
      }
    }
  }
  return out;
}

int SendQueue::PendingText() const {
  return static_cast<int>(slots_[1].size() + slots_[2].size() + slots_[3].size() +
                          slots_[4].size() + (source_ ? source_->Waiting() : 0));
}

bool SendQueue::QueueCW(const Text& text, Slot slot) {
  Text add = text;
  if (slot == Slot::Notice) {
    // Heard in the sidetone only, at the raised pitch, without keying.
    add = Text("  ") + static_cast<char>(kCodeKeyLineOff) + static_cast<char>(kCodeNoticePitch) +
          text + static_cast<char>(kCodeNormalPitch) + static_cast<char>(kCodeKeyLineOn) + "  ";
  }
  if (PendingText() + static_cast<long long>(add.size()) > kQueueLimit) {
    p_.beeper.Beep();  // refused whole: never cut a message in the middle
    return false;
  }
  At(slot) += add;
  if (slot == Slot::Message) progress_ = true;  // a new message may repeat
  if (p_.observer) p_.observer->Queued(text, static_cast<int>(slot));
  PumpCW();
  return true;
}

bool SendQueue::QueueMessage(const Text& message) {
  lastMessage_ = message;
  // A message begins a line of the echo of its own (when it is the next
  // to go; one queued behind another follows it).
  if (At(Slot::Message).empty()) echoFreshMessage_ = true;
  return QueueCW(message, Slot::Message);
}

void SendQueue::FollowNumbers() {
  // Counted only while the keyer works: a failure drops what was queued,
  // and a dropped element ends all the same.
  if (!p_.keyer.LineError().ok()) return;
  const uint64_t ended = p_.keyer.Ended();
  while (!numberMarks_.empty() && ended >= numberMarks_.front()) {
    numberMarks_.pop_front();
    ++numbersSent_;
  }
}

Text SendQueue::TakeTyped() {
  Text back;
  const uint64_t mark = p_.keyer.BrokeInAt();
  for (const auto& [first, c] : typedOut_)
    if (first > mark) back += c;
  typedOut_.clear();
  return back + std::exchange(At(Slot::Typed), Text());
}

void SendQueue::Clear() {
  FollowNumbers();  // before the keyer drops what it holds
  numberMarks_.clear();
  typedOut_.clear();
  if (p_.observer) p_.observer->Stopped(Readable());
  for (Text& slot : slots_) slot.clear();
  if (source_) source_->Clear();
  lastKeyed_ = ' ';
  EndMessageSpeed();
  if (pausing_) {
    pausing_ = false;
    ++pauseGeneration_;
    p_.timer.Cancel();
  }
}

void SendQueue::CWIdleCheck() {
  if (PendingText() == 0 && p_.keyer.Active() != 0 && p_.keyer.Pending() == 0) p_.keyer.Idle();
}

void SendQueue::EndMessageSpeed() {
  if (messageSpeed_ == 0) return;
  messageSpeed_ = 0;
  if (p_.keyer.TakesCharacters()) p_.keyer.Speed(p_.port.Speed());
}

void SendQueue::StartPause(int seconds) {
  const int ms = std::clamp(seconds, 0, kMaxPauseSeconds) * 1000;
  if (p_.observer) p_.observer->Paused(ms);
  if (ms == 0) return;  // continue at once
  progress_ = true;
  pausing_ = true;
  const unsigned generation = ++pauseGeneration_;
  p_.timer.Start(ms, [this, generation] {
    if (!pausing_ || generation != pauseGeneration_) return;
    pausing_ = false;
    PumpCW();
  });
}

SendQueue::Step SendQueue::Command(Slot slot, unsigned char code) {
  Text& text = At(slot);
  const EnvSettings& s = p_.settings;
  const bool port = !s.CWPort.empty();
  const bool sidetone = s.CWSidetone_Enable != 0;
  switch (code) {
    case kCodeKeyLineOn:
    case kCodeKeyLineOff:
      if (port) p_.keyer.KeyLine(code == kCodeKeyLineOn ? 1 : 0);
      text.erase(0, 1);
      return Step::Next;
    case kCodeNoticePitch:
      if (!sidetone) p_.keyer.Sidetone(engine::SidetoneDeviceFrom(s.CWSidetone_Device));
      p_.keyer.Tone(s.CWTone == 0 ? int16_t{600} : static_cast<int16_t>(s.CWTone + 50));
      text.erase(0, 1);
      return Step::Next;
    case kCodeNormalPitch:
      if (sidetone)
        p_.keyer.Tone(s.CWTone);
      else
        p_.keyer.Sidetone(SidetoneDevice::None);
      text.erase(0, 1);
      return Step::Next;
    case kCodePause: {
      // A pause code with nothing after it (typed, or the end of a file
      // line) has no length: it is dropped.
      if (text.size() < 2) {
        text.erase(0, 1);
        return Step::Next;
      }
      const int seconds = static_cast<unsigned char>(text[1]);
      text.erase(0, 2);
      StartPause(std::min(seconds, kMaxPauseSeconds));
      return pausing_ ? Step::EndPass : Step::Next;
    }
    case kCodeRepeat:
      if (slot != Slot::Message) {
        text.erase(0, 1);
        return Step::Next;
      }
      if (!progress_) {
        // The message keyed nothing since it last started over: repeating
        // it would only spin. The loop ends here.
        text.erase(0, 1);
        return Step::Next;
      }
      text = lastMessage_;
      progress_ = false;
      ++repeats_;
      EndMessageSpeed();  // each time round at the speed it started at
      return Step::Next;
    case kCodeNext:
      // The number moves on once the message's last key-down has ended,
      // not after the silence that closes it: Esc there keeps it sent.
      text.erase(0, 1);
      if (slot == Slot::Message) numberMarks_.push_back(downMark_);
      FollowNumbers();
      return Step::Next;
    case kCodeSpeed: {
      const bool whole = text.size() >= 3;
      const char how = whole ? text[1] : '=';
      const int n = whole ? static_cast<unsigned char>(text[2]) : 0;
      text.erase(0, std::min<size_t>(3, text.size()));
      if (slot != Slot::Message) return Step::Next;  // only a message sets its own speed
      const int from = messageSpeed_ != 0 ? messageSpeed_ : p_.port.Speed();
      if (how == '=' && n == 0) {
        EndMessageSpeed();
        return Step::Next;
      }
      messageSpeed_ = std::clamp(how == '+' ? from + n : how == '-' ? from - n : n, 1, 99);
      if (p_.keyer.TakesCharacters()) p_.keyer.Speed(static_cast<int16_t>(messageSpeed_));
      return Step::Next;
    }
    case kCodeFile: {
      size_t end = 2;
      while (end < text.size() && static_cast<unsigned char>(text[end]) > 32) ++end;
      Text name = end > 2 ? text.substr(2, end - 2) : Text();
      if (name.empty()) name = "???";
      text.erase(0, std::min(end + 1, text.size()));
      p_.files.StartFileCommand(name);
      return Step::Restart;  // the file's lines go before the rest
    }
    default:
      return Step::Next;
  }
}

void SendQueue::PumpCW() {
  // One pass at a time: QueueCW inside a pass (a file started by a message)
  // only appends; the running pass picks the text up.
  if (inPass_ || pausing_) return;
  // Nothing keys (the port could not be opened, or stopped working): what
  // is typed and queued waits, to be keyed once a port works.
  if (p_.port.Failed()) return;
  // The operator's hand keys: nothing goes between its characters.
  if (p_.keyer.HandActive()) return;
  FollowNumbers();
  inPass_ = true;
  struct Leave {
    bool& flag;
    ~Leave() { flag = false; }
  } leave{inPass_};

  if (At(Slot::Typed).empty() && p_.port.KeyboardCW() && typeAhead_ && !typeAhead_->Empty() &&
      !typeAhead_->Held())
    At(Slot::Typed) = Text(1, typeAhead_->TakeFirst());
  if (PendingText() == 0) return;

  // A keyer that times itself counts characters, ours elements: either
  // way about one character ahead of the key while the operator types, so
  // a stop or a backspace still finds the rest.
  const bool characters = p_.keyer.TakesCharacters();
  const int ahead = characters ? p_.keyer.CharactersAhead() : 0;
  const int typingAhead = characters ? ahead : 5, sourceAhead = characters ? ahead : 4;
  const int startUpAhead = characters ? 40 : 200;
  // Messages and files keep a quarter of a second in hand besides: the
  // sidetone renders what is queued ahead of the key, and a busy window
  // cannot starve the key. Typed text stays editable until it goes.
  auto shortOfTime = [&] {
    const int64_t queued = characters ? -1 : p_.keyer.QueuedNs();
    return queued >= 0 && queued < kAheadNs;
  };
  for (Slot slot = Slot::Notice; slot <= Slot::Typed;) {
    Text& text = At(slot);
    if (slot == Slot::Typed && source_ && source_->Waiting() > 0) {
      if (p_.keyer.Pending() > sourceAhead && !shortOfTime()) return;
      if (source_->StartsText()) EchoLineEnd();
      EchoFrom(Slot::Logger);
      const uint64_t first = p_.keyer.Queued();
      const unsigned char keyed = source_->KeyNext();
      if (p_.observer && keyed) p_.observer->Keying(keyed, first);
      lastKeyed_ = 0;  // not a blank: a line end after it keys a word space
      continue;
    }
    if (text.empty()) {
      if (slot == Slot::Message) EndMessageSpeed();
      slot = static_cast<Slot>(static_cast<int>(slot) + 1);
      continue;
    }
    const int n = p_.keyer.Pending();
    const bool keyboard = p_.port.KeyboardCW();
    if ((keyboard && n > typingAhead && (slot == Slot::Typed || !shortOfTime())) ||
        (!keyboard && n > startUpAhead))
      return;
    const auto c = static_cast<unsigned char>(text[0]);
    const bool command = IsQueueCode(c);
    if (command && !(c == kCodeRepeat && slot != Slot::Message)) {
      // Commands wait for everything before them to be sent; a speed change
      // on our own keyer need not (the lengths go with the elements), nor
      // the serial number's step (it waits for its own mark).
      if (n != 0 && !(c == kCodeSpeed && !characters) && c != kCodeNext) return;
      switch (Command(slot, c)) {
        case Step::EndPass:
          return;
        case Step::Restart:
          slot = Slot::Notice;
          continue;
        case Step::Next:
          continue;
      }
    }
    if (command) {  // a repeat code outside slot 3
      text.erase(0, 1);
      continue;
    }
    // The end of a line is a word space: a file's lines and messages sent
    // back to back must not run their words together.
    if (c == '\r' && text.size() > 1 && text[1] == '\n') {
      // The word space goes at the end of the echo's line, not at the
      // start of the next.
      if (lastKeyed_ != ' ') Key(' ', slot);
      EchoLineEnd();
      text.erase(0, 2);
      continue;
    }
    EchoFrom(slot);
    Key(c, slot);
    text.erase(0, 1);
  }
}

void SendQueue::EchoHand(const Text& chars) {
  if (!p_.observer || chars.empty()) return;
  p_.observer->Hand(chars);
  EchoFrom(Slot::Hand);
  for (char c : chars) p_.observer->Keying(static_cast<unsigned char>(c), p_.keyer.Queued());
  lastKeyed_ = 0;
}

void SendQueue::EchoLineEnd() {
  if (p_.observer && !echoAtLineStart_) p_.observer->Keying('\n', p_.keyer.Queued());
  echoAtLineStart_ = true;
}

void SendQueue::EchoFrom(Slot source) {
  // Each source (a notice, a file, a message, typed text, a logger's text)
  // starts a line of the echo of its own: words of two never run together.
  if (source == Slot::Message && echoFreshMessage_) {
    echoFreshMessage_ = false;
    EchoLineEnd();
  } else if (echoSource_ != Slot{} && source != echoSource_) {
    EchoLineEnd();
  }
  echoSource_ = source;
  echoAtLineStart_ = false;
}

void SendQueue::Key(unsigned char c, Slot slot) {
  // A character without Morse ("#", a quote, one Windows-1252 lacks) is
  // not keyed, but the echo shows it: the operator reads his text whole.
  const bool shown = c >= 32 && c != 127;
  if (p_.keyer.TakesCharacters()) {
    const uint64_t first = p_.keyer.Queued();
    const bool keyed = p_.keyer.Character(c);
    if (p_.observer && (keyed || shown)) p_.observer->Keying(c, first);
    if (!keyed) return;
    downMark_ = p_.keyer.Queued();
    progress_ = true;
    lastKeyed_ = c;
    return;
  }
  const Text& elements = p_.port.Elements()[c];
  if (slot == Slot::Typed && !elements.empty()) {
    typedOut_.emplace_back(p_.keyer.Queued(), static_cast<char>(c));
    if (typedOut_.size() > 8) typedOut_.pop_front();  // far behind the key by now
  }
  if (p_.observer && (!elements.empty() || shown)) p_.observer->Keying(c, p_.keyer.Queued());
  const int messageSpeed = slot == Slot::Message ? messageSpeed_ : 0;
  const int speed = messageSpeed != 0 ? messageSpeed : p_.port.Speed();
  if (const KeyingShape shape = p_.port.Shape(); messageSpeed != 0 || !shape.Plain(speed)) {
    // A message's own speed, weighting, Farnsworth spacing or a 7-unit
    // word space: lengths of their own, not the keyer's whole units.
    const int64_t unitNs = messageSpeed != 0 ? UnitNs(messageSpeed) : p_.port.UnitNsKeyed();
    for (const ShapedElement& e : ShapeElements(elements, c == ' ', shape, speed, unitNs)) {
      p_.keyer.ElementNs(e.down, e.ns);
      if (e.down) downMark_ = p_.keyer.Queued();
    }
  } else {
    for (size_t i = 0; i + 1 < elements.size(); i += 2) {
      p_.keyer.Element(static_cast<unsigned char>(elements[i]),
                       static_cast<unsigned char>(elements[i + 1]));
      if (elements[i] == 0) downMark_ = p_.keyer.Queued();
    }
  }
  if (elements.empty()) return;
  progress_ = true;
  lastKeyed_ = c;
}

}  // namespace orvex
