#include "keying/send_path.h"

#include "macros/expand_macros.h"

namespace orvex {

SendPath::SendPath(Keyer& keyer, KeyingState& keying, EnvSettings& settings, Clock& clock,
                   PauseTimer& timer, Beeper& beeper, MessageSink& sink, std::string programDir)
    : keyer_(keyer),
      settings_(settings),
      clock_(clock),
      keying_(keying, settings, keyer, sink),
      queue_(keyer, keying, settings, clock, timer, beeper),
      file_(
          queue_, sink, [this](const Text& line) { return Expand(line, false); },
          [this] { keying_.StopCW(); }, std::move(programDir)) {
  keying_.SetHooks({[this] {
                      if (typeAhead_) typeAhead_->Clear();
                    },
                    [this] { file_.EndCWFile(); }, [this] { queue_.Clear(); }});
  queue_.SetFileStarter([this](const Text& name) { file_.SendCWFile(nullptr, name); });
}

void SendPath::SetTypeAhead(TypeAheadLine* line) {
  typeAhead_ = line;
  queue_.SetTypeAhead(line);
}

Text SendPath::Expand(const Text& text, bool fullMode) {
  return ExpandMacros(text, fullMode, {settings_.MsgCW, HisCall, settings_.MyCall, clock_});
}

bool SendPath::SendMessage(int n) {
  if (n < 1 || n > 8) return false;
  const Text message = Expand(settings_.Message(n), true) + Text(CRLF);
  queue_.LastMessage = message;
  return queue_.QueueCW(message, 3);
}

void SendPath::Tick() {
  if (!file_.CWFileName().empty()) file_.ReadCWFile();
  queue_.PumpCW();
  queue_.CWIdleCheck();
}

bool SendPath::Idle() {
  return queue_.PendingText() == 0 && file_.CWFileName().empty() && !queue_.Pausing() &&
         (!typeAhead_ || typeAhead_->Empty()) && keyer_.Active() == 0 && keyer_.Pending() == 0;
}

}  // namespace orvex
