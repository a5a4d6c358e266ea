#include "core/sending/port_setup.h"

#include "base/message.h"

namespace orvex {

void PortSetup::InitCW() {
  portOpen_ = false;
  keyboardCW_ = false;
  morse_ = FillMorseTable();
  speed_ = settings_.CWSpeed >= 1 && settings_.CWSpeed <= 99 ? settings_.CWSpeed : int16_t{28};
}

void PortSetup::ApplySidetone() {
  if (settings_.CWSidetone_Enable != 0) {
    keyer_.Sidetone(engine::SidetoneDeviceFrom(settings_.CWSidetone_Device));
    keyer_.Tone(settings_.CWTone);
  } else {
    keyer_.Sidetone(SidetoneDevice::None);
  }
}

bool PortSetup::OpenPort(int16_t portCode) {
  CloseKeyer();
  if (portCode == 0 && settings_.CWSidetone_Enable == 0) return true;
  const OpenResult result = keyer_.Open(portCode);
  if (!result.ok()) {
    ShowMessage(sink_, SetupFailureText(settings_.CWPort, result), std::nullopt, "CW Setup");
    return false;
  }
  portOpen_ = true;
  if (portCode != 0) keyer_.KeyLine(1);
  ApplySidetone();
  SetCWSpeed(speed_);
  return true;
}

void PortSetup::SetCWSpeed(int16_t speed) {
  if (speed < 1) speed = 1;  // callers keep 1 to 99; never divide by zero
  speed_ = speed;
  elements_ = BuildElementTable(morse_);
  unitMs_ = static_cast<int16_t>(1200.0 / speed);
  keyer_.Idle();
  keyer_.Unit(unitMs_);
}

void PortSetup::StepCWSpeed(int step) {
  int16_t speed = speed_;
  if ((step > 0 && speed <= 48) || (step <= 0 && speed >= 4))
    speed = static_cast<int16_t>(speed + step);
  SetCWSpeed(speed);
}

void PortSetup::AbortKeyer() {
  keyer_.Abort();
  keyer_.KeyLine(settings_.CWPort.empty() ? 0 : 1);
  ApplySidetone();
}

void PortSetup::CloseKeyer() {
  if (!portOpen_) return;
  keyer_.Close();
  portOpen_ = false;
}

Text PortSetup::SetupFailureText(const Text& portName, const OpenResult& result) {
  const Text nl(CRLF);
  return "Can't initialize CW port " + portName + "." + nl + nl +
         "Status = " + std::to_string(result.Number()) + result.Suffix() + "." + nl + nl +
         "Use Options/CW Port Select to change port.";
}

}  // namespace orvex
