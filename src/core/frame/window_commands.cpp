#include "core/frame/window_commands.h"

#include <algorithm>

#include "core/config/settings_table.h"
#include "core/frame/about.h"
#include "core/macros/expand_macros.h"

namespace orvex {

void WindowCommands::UpdateTitle() {
  services_.SetTitle(PacketTitle(send_.Speed()));
}

StatusLine WindowCommands::Status() {
  StatusLine s;
  s.transmitting = Transmitting();
  s.port = send_.PortStatusText();
  s.sidetone = send_.SidetoneText();
  s.speed = send_.Speed();
  if (!send_.CWFileName().empty())
    s.file = "Sending " + send_.CWFileName() + ": " + send_.FileProgress();
  if (send_.PaddleStopped()) s.notice = "The paddle broke in: sending stopped";
  if (const Text rest = send_.StillSending(); !rest.empty())
    s.notice = "The radio cannot stop its keyer: it may still send \"" + rest + "\"";
  FollowSentNumbers();
  s.serial = "Nr " + SerialNumberText(state_.Env.ContestNr, state_.Env.NrDigits, Text());
  if (send_.PortFailed())
    s.notKeying =
        "Nothing is keyed: " + send_.PortStatusText() + ". What you type waits in the line.";
  return s;
}

// A message holding #NEXT went out in full: the number moves on, and is
// saved at once. Done here, as the status is read from the event loop,
// never from the send path's tick, where no box may open.
void WindowCommands::FollowSentNumbers() {
  const uint64_t sent = send_.Queue().NumbersSent();
  if (sent == numbersSeen_) return;
  const auto moved = static_cast<long long>(sent - numbersSeen_);
  numbersSeen_ = sent;
  state_.Env.ContestNr =
      static_cast<int32_t>(std::min<long long>(state_.Env.ContestNr + moved, kContestNrLimits.hi));
  SaveSettings(state_, sink_);
}

void WindowCommands::SetSpeedTo(int speed) {
  if (kSpeedLimits.Holds(speed) && speed != send_.Speed())
    send_.SetSpeed(static_cast<int16_t>(speed));
}

void WindowCommands::SetSpeed() {
  const Setting* setting = &SettingFor(&EnvSettings::CWSpeed);
  const PromptCheck check{"Set CW Speed", [setting](const Text& typed) {
                            long long speed = 0;
                            return setting->CheckNumber(typed, &speed);
                          }};
  long long speed = 0;
  Text answer = std::to_string(send_.Speed());
  if (!services_.Prompt("Set Speed", "Speed", &answer, check)) return;
  if (const Result entered = setting->CheckNumber(answer, &speed); entered.ok()) {
    send_.SetSpeed(static_cast<int16_t>(speed));
  } else {
    // Its own box, not ShowMessage: no full stop is added.
    sink_.Warning(check.title, entered.text());
  }
}

void WindowCommands::SetCall(bool mine) {
  Text call = mine ? state_.Env.MyCall : send_.HisCall();
  if (!services_.Prompt(mine ? "Set #me" : "Set #him", "Call", &call, {})) return;
  if (!mine) {
    send_.SetHisCall(call);  // never saved
    return;
  }
  state_.Env.MyCall = call;
  SaveSettings(state_, sink_);
}

void WindowCommands::SetNumber() {
  const Setting* setting = &SettingFor(&EnvSettings::ContestNr);
  const PromptCheck check{"Serial number", [setting](const Text& typed) {
                            EnvSettings scratch;
                            return setting->Enter(scratch, typed);
                          }};
  Text typed = std::to_string(state_.Env.ContestNr);
  if (!services_.Prompt("Serial number", "Next number", &typed, check)) return;
  if (!setting->Enter(state_.Env, typed).ok()) return;
  SaveSettings(state_, sink_);
}

void WindowCommands::Run(Command command, int message) {
  switch (command) {
    case Command::None:
      break;
    case Command::Beep:
      beeper_.Beep();
      break;
    case Command::Exit:
      services_.ExitProgram();
      break;
    case Command::Faster:
    case Command::Slower:
      send_.StepSpeed(command == Command::Faster ? +1 : -1);
      break;
    case Command::SetSpeed:
      SetSpeed();
      break;
    case Command::SendFile:
      if (!send_.CWFileName().empty()) {
        if (!sink_.Question("Send CW File", "CW file already in progress, stop it?")) break;
        send_.Stop();
      }
      (void)send_.SendFile(&chooser_, "");  // a failure has been told
      break;
    case Command::Stop:
      send_.Stop();
      break;
    case Command::Tune:
      send_.Tune(kMaxTuneSeconds);
      break;
    case Command::SetHim:
      SetCall(false);
      break;
    case Command::SetMe:
      SetCall(true);
      break;
    case Command::SetNumber:
      SetNumber();
      break;
    case Command::SendMessage:
      send_.SendMessage(message);
      break;
    case Command::CWOptions:
      services_.OpenCWOptions();
      break;
    case Command::Help:
      services_.ShowHelp(150);
      break;
    case Command::About:
      ShowAbout(sink_);
      break;
    case Command::ShowReadme:
      services_.ShowTextFile("readme.txt");
      break;
    case Command::ShowChanges:
      services_.ShowTextFile("changes.txt");
      break;
    case Command::RetryPort:
      if (send_.PortFailed()) send_.RetryPort(state_.CWPortCode);
      break;
  }
}

}  // namespace orvex
