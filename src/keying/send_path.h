// The send path in one piece: keying set-up, send queue, file sender and
// macros, wired the way the packet window and orvex-send both use them.
//
//   stored message ─ExpandMacros(full)─┐
//   file line ─────ExpandMacros(limited)┼─> SendQueue ─PumpCW─> Keyer ─> engine
//   typed character (TypeAheadLine) ────┘
#pragma once

#include <string>

#include "app/message_sink.h"
#include "config/env_settings.h"
#include "keying/cw_file.h"
#include "keying/cw_keying.h"
#include "keying/keyer.h"
#include "keying/send_queue.h"
#include "keying/send_seams.h"
#include "macros/clock.h"

namespace orvex {

class SendPath {
 public:
  SendPath(Keyer& keyer, KeyingState& keying, EnvSettings& settings, Clock& clock,
           PauseTimer& timer, Beeper& beeper, MessageSink& sink, std::string programDir);

  void SetTypeAhead(TypeAheadLine* line);

  // Stored message n (1 to 8) as a function key sends it: expanded in full
  // mode, CRLF appended, kept as LastMessage, queued at level 3.
  bool SendMessage(int n);
  // Expands text in full or limited mode with the current calls and clock.
  Text Expand(const Text& text, bool fullMode);
  // The work of one 100 ms tick after the caret: file top-up, pump, idle.
  void Tick();
  // Nothing left anywhere: no text, no file, no pause, keyer idle.
  bool Idle();

  CwKeying& Keying() { return keying_; }
  SendQueue& Queue() { return queue_; }
  CwFileSender& File() { return file_; }

  Text HisCall;  // the other station's call (Set #him); never saved

 private:
  Keyer& keyer_;
  EnvSettings& settings_;
  Clock& clock_;
  TypeAheadLine* typeAhead_ = nullptr;
  CwKeying keying_;
  SendQueue queue_;
  CwFileSender file_;
};

}  // namespace orvex
