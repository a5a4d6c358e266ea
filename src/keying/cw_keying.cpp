#include "keying/cw_keying.h"

#include "app/message.h"

namespace orvex {

void CwKeying::InitCW() {
  state_.CWPortOpen = false;
  state_.KeyboardCW = false;
  state_.Morse = FillMorseTable();
  state_.CurrentSpeed =
      settings_.CWSpeed >= 1 && settings_.CWSpeed <= 99 ? settings_.CWSpeed : int16_t{28};
}

void CwKeying::ApplySidetone() {
  if (settings_.CWSidetone_Enable != 0) {
    keyer_.Sidetone(settings_.CWSidetone_Device);
    keyer_.Tone(settings_.CWTone);
  } else {
    keyer_.Sidetone(0);
  }
}

bool CwKeying::OpenCWPort(int16_t portCode) {
  StopCW();
  if (state_.CWPortOpen) {
    keyer_.Close();
    state_.CWPortOpen = false;
  }
  if (portCode == 0 && settings_.CWSidetone_Enable == 0) return true;
  const int16_t status = keyer_.Open(portCode);
  if (status != 0) {
    state_.CWPortOpen = false;
    ShowMessage(sink_, SetupFailureText(settings_.CWPort, status), std::nullopt, "CW Setup");
    return false;
  }
  state_.CWPortOpen = true;
  if (portCode != 0) keyer_.KeyLine(1);
  ApplySidetone();
  SetCWSpeed(state_.CurrentSpeed);
  return true;
}

void CwKeying::SetCWSpeed(int16_t speed) {
  state_.Elements = BuildElementTable(state_.Morse);
  if (speed < 1) speed = 1;  // callers keep 1 to 99; never divide by zero
  state_.UnitMs = static_cast<int16_t>(1200.0 / speed);
  keyer_.Idle();
  keyer_.Unit(state_.UnitMs);
}

void CwKeying::StepCWSpeed(int step) {
  if ((step > 0 && state_.CurrentSpeed <= 48) || (step <= 0 && state_.CurrentSpeed >= 4))
    state_.CurrentSpeed = static_cast<int16_t>(state_.CurrentSpeed + step);
  SetCWSpeed(state_.CurrentSpeed);
}

void CwKeying::StopCW() {
  if (state_.KeyboardCW && hooks_.ClearTypeAhead) hooks_.ClearTypeAhead();
  if (hooks_.EndCWFile) hooks_.EndCWFile();
  if (hooks_.ClearSendQueue) hooks_.ClearSendQueue();
  keyer_.Abort();
  keyer_.KeyLine(settings_.CWPort.empty() ? 0 : 1);
  ApplySidetone();
}

void CwKeying::CloseCWPort() {
  if (!state_.CWPortOpen) return;
  if (hooks_.ClearSendQueue) hooks_.ClearSendQueue();
  keyer_.Close();
  state_.CWPortOpen = false;
}

Text CwKeying::SetupFailureText(const Text& portName, int status) {
  const char* suffix = status == 2    ? ", device not found"
                       : status == 5  ? ", device in use"
                       : status == 12 ? ", invalid access"
                       : status == 32 ? ", sharing violation"
                                      : "";
  const Text nl(CRLF);
  return "Can't initialize CW port " + portName + "." + nl + nl + "Status = " +
         std::to_string(status) + suffix + "." + nl + nl +
         "Use Options/CW Port Select to change port.";
}

}  // namespace orvex
