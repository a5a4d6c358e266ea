#include "core/sending/send_path.h"

#include <algorithm>

#include "base/program_paths.h"
#include "core/macros/expand_macros.h"

namespace orvex {

SendPath::SendPath(const Parts& p)
    : keyer_(p.keyer),
      settings_(p.settings),
      clock_(p.clock),
      attention_(p.attention),
      programDir_(p.programDir),
      port_(p.settings, p.keyer, p.attention, p.remedies),
      queue_({p.keyer, port_, p.settings, p.clock, p.pauseTimer, p.beeper, *this, p.observer}),
      file_(queue_, p.attention, *this) {}

void SendPath::SetTypeAhead(TypeAheadLine* line) {
  typeAhead_ = line;
  queue_.SetTypeAhead(line);
}

Text SendPath::Expand(const Text& text, bool fullMode) {
  const Text nr = SerialNumberText(settings_.ContestNr, settings_.NrDigits, settings_.CutNumbers);
  return ExpandMacros(text, fullMode, {settings_.MsgCW, hisCall_, settings_.MyCall, clock_, nr});
}

bool SendPath::SendMessage(int n) {
  if (n < 1 || n > 8) return false;
  return queue_.QueueMessage(Expand(settings_.Message(n), true) + Text(CRLF));
}

Result SendPath::SendFile(FileChooser* chooser, const Text& name) {
  if (!file_.CWFileName().empty()) {
    // A message's file while another is being sent: no question from
    // inside the pump; the file being sent goes on.
    const Result busy =
        Result::Refused("CW file already in progress: '" + name + "' was not sent.");
    attention_.Failed("Send CW File", busy);
    return busy;
  }
  if (!name.empty())
    return file_.Start(Cp1252ToUtf8(name), name, false);  // a relative name: the current directory
  if (!chooser) return {};
  // The folder the last file came from, else the home folder: where the
  // operator keeps texts, not the settings.
  const std::string home = ProcessPlaces::FromEnvironment().home.value_or("");
  const std::string& startDir = !fileDir_.empty() ? fileDir_ : !home.empty() ? home : programDir_;
  const auto chosen = chooser->ChooseFileToRead(
      "File to Send as CW", "Text files (*.txt)|*.txt|All files (*)|*", startDir);
  if (!chosen) return {};
  const size_t slash = chosen->rfind('/');
  if (slash != std::string::npos) fileDir_ = chosen->substr(0, slash + 1);
  return file_.Start(*chosen,
                     Utf8ToCp1252(slash == std::string::npos ? *chosen : chosen->substr(slash + 1)),
                     true);
}

void SendPath::Tune(int seconds) {
  Stop();
  keyer_.Tune(std::clamp(seconds, 1, kMaxTuneSeconds) * 1000);
  tuning_ = true;
}

void SendPath::Stop() {
  Halt(true);
}

Text SendPath::StillSending() {
  return Utf8ToCp1252(keyer_.StillSending());
}

void SendPath::Halt(bool typed) {
  tuning_ = false;
  if (typed && port_.KeyboardCW() && typeAhead_) typeAhead_->Clear();
  file_.EndCWFile();
  queue_.Clear();
  port_.AbortKeyer();
}

Result SendPath::OpenCWPort(int16_t portCode) {
  Stop();
  return port_.OpenPort(portCode);
}

Result SendPath::ReconfigureCWPort(int16_t portCode) {
  return port_.Reapply(portCode) ? Result() : OpenCWPort(portCode);
}

Result SendPath::SwitchPort(int16_t portCode) {
  Stop();
  return port_.SwitchPort(portCode);
}

bool SendPath::RetryPort(int16_t portCode) {
  // Everything was stopped when the port failed; what was typed and queued
  // since waits for it, and goes once it opens.
  return port_.OpenPort(portCode, true).ok();
}

bool SendPath::Keying() {
  return port_.CWPortOpen() && !port_.Failed() && keyer_.LineError().ok() && !keyer_.Interrupted();
}

void SendPath::CloseCWPort() {
  if (!port_.CWPortOpen()) return;
  queue_.Clear();
  port_.CloseKeyer();
}

void SendPath::Tick() {
  if (port_.CWPortOpen() && !port_.Failed())
    if (const Result line = keyer_.LineError(); !line.ok()) {
      // What was typed and not yet taken waits for the port to work again.
      Halt(false);
      port_.LineFailed(line);
    }
  // The process was stopped (Ctrl+Z) and has gone on: the keyer dropped
  // what it held then, and nothing that was waiting goes out half-sent.
  if (keyer_.Interrupted()) {
    Stop();
    unfinished_ = "it was stopped (Ctrl+Z) while sending";
  }
  // The operator took the paddle: the keyer dropped its text, as a keyer
  // does, and what waits here stops with it as Esc stops it, but the hand
  // keys on, and the typed line keeps what it had not sent until the
  // operator types into it again.
  if (const uint64_t breakIns = keyer_.BreakIns(); breakIns != breakIns_) {
    breakIns_ = breakIns;
    tuning_ = false;
    if (typeAhead_) typeAhead_->Hold(queue_.TakeTyped());
    file_.EndCWFile();
    queue_.Clear();
    unfinished_ = "the paddle broke in";
    paddleStopped_ = true;
  } else if (keyer_.Pending() > 0 && !keyer_.HandActive()) {
    paddleStopped_ = false;
  }
  if (const std::string hand = keyer_.TakeHandText(); !hand.empty()) queue_.EchoHand(hand);
  port_.CheckSidetone();
  if (tuning_ && keyer_.Pending() == 0) tuning_ = false;
  if (!file_.CWFileName().empty()) file_.ReadCWFile();
  queue_.PumpCW();
  queue_.CWIdleCheck();
}

bool SendPath::Idle() {
  return queue_.PendingText() == 0 && file_.CWFileName().empty() && !queue_.Pausing() &&
         (!typeAhead_ || typeAhead_->Empty()) && keyer_.Active() == 0 && keyer_.Pending() == 0;
}

}  // namespace orvex
