// The send queue and its pump. Four slots of text, served in order (1 local
// notices, 2 file lines, 3 stored messages, 4 one typed character), fed to
// the keyer a character at a time while its own queue stays short, so Stop
// acts at once and typed text stays editable until it goes. The codes of
// queue_codes.h inside the text are commands.
#pragma once

#include <array>
#include <deque>
#include <utility>

#include "base/clock.h"
#include "core/config/env_settings.h"
#include "core/macros/queue_codes.h"
#include "core/sending/keyer.h"
#include "core/sending/port_setup.h"
#include "core/sending/send_seams.h"

namespace orvex {

inline constexpr int kQueueLimit = 32767;

// The queue's slots, served in this order; the echo also names a logger's
// text as a source of its own.
// Notice to Typed are the queue's slots, in the order they are served;
// Logger and Hand only name where echoed text came from.
enum class Slot : int { Notice = 1, File = 2, Message = 3, Typed = 4, Logger = 5, Hand = 6 };

// Starts the file named by a file code.
class FileCommandHandler {
 public:
  virtual ~FileCommandHandler() = default;
  virtual void StartFileCommand(const Text& name) = 0;
};

class SendQueue {
 public:
  struct Parts {
    Keyer& keyer;
    const PortSetup& port;
    const EnvSettings& settings;
    Clock& clock;
    PauseTimer& timer;
    Beeper& beeper;
    FileCommandHandler& files;
    SendObserver* observer;  // may be null
  };
  explicit SendQueue(const Parts& parts) : p_(parts) {}

  void SetTypeAhead(TypeAheadLine* line) { typeAhead_ = line; }
  void SetKeyedSource(KeyedSource* source) { source_ = source; }

  // Appends text to a slot (a notice framed as sidetone only, at the raised
  // pitch) and runs a pass. Text that would take the queue past 32,767
  // characters is refused whole with a beep. True when queued.
  bool QueueCW(const Text& text, Slot slot);
  // A stored message: kept as the last message (the repeat code sends it
  // again), then queued in the message slot.
  bool QueueMessage(const Text& message);
  // One pass of the pump.
  void PumpCW();
  // Characters in slots 1 to 4 and the keyed source.
  int PendingText() const;
  // Idles the keyer once nothing is left to send.
  void CWIdleCheck();
  // Stop: empties every slot and ends a pause.
  void Clear();
  // Removes and returns the typed characters taken from the line and not
  // yet keyed: in the slot, and those the keyer dropped unstarted when the
  // hand broke in.
  Text TakeTyped();
  // What the operator's hand sent (its elements already keyed): shown in
  // the echo on a line of its own.
  void EchoHand(const Text& chars);

  bool Pausing() const { return pausing_; }
  const Text& SlotText(Slot slot) const { return slots_.at(static_cast<size_t>(slot)); }
  // What waits in the slots, in the order it will go, as a reader sees it:
  // the commands left out, line ends as '\n'.
  Text Readable() const;

  // The message most recently queued as one; the repeat code sends it again.
  const Text& LastMessage() const { return lastMessage_; }
  // Times a message started over at its repeat code, so far.
  uint64_t Repeats() const { return repeats_; }
  // Messages holding #NEXT sent in full, so far.
  uint64_t NumbersSent() const { return numbersSent_; }

 private:
  enum class Step { Next, EndPass, Restart };
  Step Command(Slot slot, unsigned char code);
  // Hands character c's elements to the keyer; from a message, at the
  // message's own speed when it set one.
  void Key(unsigned char c, Slot slot);
  // The message's own speed ends: the window's again.
  void EndMessageSpeed();
  // The echo's line ends where a line of text ends, and where the text
  // keyed next comes from another source.
  void EchoLineEnd();
  void EchoFrom(Slot source);
  void StartPause(int seconds);
  // Serial numbers whose message's last key-down has ended are sent.
  void FollowNumbers();

  Parts p_;
  TypeAheadLine* typeAhead_ = nullptr;
  KeyedSource* source_ = nullptr;
  std::array<Text, 5> slots_;  // by Slot; 0 unused
  Text& At(Slot slot) { return slots_[static_cast<size_t>(slot)]; }
  bool inPass_ = false;
  bool pausing_ = false;
  unsigned pauseGeneration_ = 0;
  // Something was keyed (or a real pause waited) since the message slot was last
  // refilled by the repeat code: without it a repeat would spin.
  bool progress_ = true;
  int messageSpeed_ = 0;
  uint64_t numbersSent_ = 0;  // WPM a message set for itself with #SPEED; 0: none
  uint64_t repeats_ = 0;
  uint64_t downMark_ = 0;             // the keyer's count once the last key-down queued ends
  std::deque<uint64_t> numberMarks_;  // #NEXT of messages not yet keyed that far
  unsigned char lastKeyed_ = ' ';     // the last character that keyed something
  Text lastMessage_;
  std::deque<std::pair<uint64_t, char>> typedOut_;  // typed characters handed over, by first mark
  Slot echoSource_{};                               // where the last character keyed came from
  bool echoAtLineStart_ = true;                     // the echo has just ended a line
  bool echoFreshMessage_ = false;                   // the next message character starts a message
};

}  // namespace orvex
