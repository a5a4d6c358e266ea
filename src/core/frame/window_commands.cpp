#include "core/frame/window_commands.h"

#include "base/numbers.h"
#include "core/frame/about.h"

namespace orvex {

void WindowCommands::UpdateTitle() {
  services_.SetTitle(PacketTitle(send_.Port().Speed()));
}

StatusLine WindowCommands::Status() {
  StatusLine s;
  s.transmitting = Transmitting();
  s.port = send_.Port().PortStatusText();
  s.sidetone = send_.Port().SidetoneText();
  s.speed = send_.Port().Speed();
  if (!send_.File().CWFileName().empty())
    s.file = "Sending " + send_.File().CWFileName() + ": " + send_.File().Progress();
  return s;
}

void WindowCommands::SetSpeedTo(int speed) {
  if (speed >= 1 && speed <= 99 && speed != send_.Port().Speed())
    send_.Port().SetCWSpeed(static_cast<int16_t>(speed));
}

void WindowCommands::SetSpeed() {
  Text answer = std::to_string(send_.Port().Speed());
  if (!services_.Prompt("Set Speed", "Speed", &answer)) return;
  int16_t speed = 0;
  if (IsNumberInRange(answer, 1, 99, &speed)) {
    send_.Port().SetCWSpeed(speed);
  } else {
    // Its own box, not ShowMessage: no full stop is added.
    sink_.Warning("Set CW Speed", "Speed must be 1 - 99");
  }
}

void WindowCommands::SetCall(bool mine) {
  Text call = mine ? state_.Env.MyCall : send_.HisCall;
  if (!services_.Prompt(mine ? "Set #me" : "Set #him", "Call", &call)) return;
  if (!mine) {
    send_.HisCall = call;  // never saved
    return;
  }
  state_.Env.MyCall = call;
  if (state_.EnvFile) state_.EnvFile->WriteEnvironmentFile(state_.Env);
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
      send_.Port().StepCWSpeed(command == Command::Faster ? +1 : -1);
      break;
    case Command::SetSpeed:
      SetSpeed();
      break;
    case Command::SendFile:
      send_.SendFile(&chooser_, "");
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
  }
}

}  // namespace orvex
