#include "packet/packet_commands.h"

#include "app/number_check.h"
#include "app/startup.h"

namespace orvex {

void PacketCommands::UpdateTitle() {
  if (seams_.setTitle) seams_.setTitle(PacketTitle(state_.Keying.CurrentSpeed));
}

void PacketCommands::Faster() {
  send_.Keying().StepCWSpeed(+1);
  UpdateTitle();
}

void PacketCommands::Slower() {
  send_.Keying().StepCWSpeed(-1);
  UpdateTitle();
}

void PacketCommands::SetSpeed() {
  Text answer = std::to_string(state_.Keying.CurrentSpeed);
  if (!seams_.prompt || !seams_.prompt("Set Speed", "Speed", &answer)) return;
  int16_t speed = 0;
  if (IsNumberInRange(answer, 1, 99, &speed)) {
    state_.Keying.CurrentSpeed = speed;
    send_.Keying().SetCWSpeed(speed);
    UpdateTitle();
  } else {
    // Its own box, not ShowMessage: no full stop is added.
    sink_.Warning("Set CW Speed", "Speed must be 1 - 99");
  }
}

void PacketCommands::SendFile() { send_.File().SendCWFile(seams_.chooser, ""); }

void PacketCommands::Stop() { send_.Keying().StopCW(); }

void PacketCommands::SetHim() {
  Text call = send_.HisCall;
  if (seams_.prompt && seams_.prompt("Set #him", "Call", &call)) send_.HisCall = call;
}

void PacketCommands::SetMe() {
  Text call = state_.Env.MyCall;
  if (!seams_.prompt || !seams_.prompt("Set #me", "Call", &call)) return;
  state_.Env.MyCall = call;
  if (state_.EnvFile) state_.EnvFile->WriteEnvironmentFile(state_.Env);
}

void PacketCommands::SendMessage(int n) { send_.SendMessage(n); }

void PacketCommands::CWOptions() {
  if (seams_.cwOptions) seams_.cwOptions();
}

void PacketCommands::Help() {
  if (seams_.help) seams_.help(150);
}

void PacketCommands::About() {
  if (seams_.about) seams_.about();
}

void PacketCommands::ShowReadme() {
  if (seams_.showTextFile) seams_.showTextFile("readme.txt");
}

void PacketCommands::ShowChanges() {
  if (seams_.showTextFile) seams_.showTextFile("changes.txt");
}

void PacketCommands::Perform(const KeyAction& action) {
  switch (action.kind) {
    case KeyAction::StopCW:
      Stop();
      break;
    case KeyAction::SendMessage:
      SendMessage(action.message);
      break;
    case KeyAction::Beep:
      if (seams_.beep) seams_.beep();
      break;
    case KeyAction::None:
      break;
  }
}

}  // namespace orvex
