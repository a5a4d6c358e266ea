#include "core/sending/port_setup.h"

#include <cmath>

#include "base/message.h"
#include "base/text.h"
#include "engine/device_names.h"

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
  sidetoneReported_ = false;
  failure_.clear();
  if (portCode == 0 && settings_.CWSidetone_Enable == 0) return true;
  const OpenResult result = keyer_.Open(portCode);
  if (!result.ok()) {
    failedCode_ = portCode;
    failure_ = result.status == engine::OpenStatus::Other ? ErrorFromErrno(result.err).description
                                                          : Text(result.Suffix()).substr(2);
    ShowMessage(sink_, SetupFailureText(settings_.CWPort, portCode, result), std::nullopt,
                "CW Setup");
    return false;
  }
  portOpen_ = true;
  openCode_ = portCode;
  ApplyPortSettings();
  return true;
}

bool PortSetup::Reapply(int16_t portCode) {
  if (!portOpen_ || failed_ || portCode != openCode_) return false;
  // A sidetone that stopped (its sound server was restarted, a sound card
  // was plugged in) is opened anew; one that plays is left alone.
  if (!keyer_.SidetoneState().problem.empty()) {
    keyer_.Sidetone(SidetoneDevice::None);
    sidetoneReported_ = false;
  }
  ApplyPortSettings();
  return true;
}

void PortSetup::ApplyPortSettings() {
  if (openCode_ != 0) keyer_.KeyLine(1);
  ApplySidetone();
  keyer_.PttTiming(settings_.CWPttLead, settings_.CWPttTail);
  SetCWSpeed(speed_);
  CheckSidetone();
}

void PortSetup::CheckSidetone() {
  if (!portOpen_) return;
  const engine::SidetoneStatus status = keyer_.SidetoneState();
  if (status.problem.empty()) {
    sidetoneReported_ = false;
    return;
  }
  if (sidetoneReported_) return;
  sidetoneReported_ = true;
  const Text nl(CRLF);
  ShowMessage(sink_,
              "The sidetone cannot be heard: " + Utf8ToCp1252(status.problem) + "." + nl + nl +
                  "Keying goes on without it. Save the CW Options (or start Orvex again) to try "
                  "the sound again.",
              std::nullopt, "Sidetone");
}

Text PortSetup::SidetoneText() {
  if (!portOpen_) return "none";
  const engine::SidetoneStatus status = keyer_.SidetoneState();
  if (!status.problem.empty()) return "silent: " + Utf8ToCp1252(status.problem);
  if (status.output.empty()) return "none";
  Text text = Utf8ToCp1252(status.output);
  if (status.latencyMs > 0)
    text += ", " + std::to_string(std::lround(status.latencyMs)) + " ms behind the key";
  return text;
}

void PortSetup::LineFailed(int err) {
  if (failed_) return;
  failed_ = true;
  failedCode_ = openCode_;
  failure_ = ErrorFromErrno(err).description;
  const Text nl(CRLF);
  ShowMessage(sink_,
              "CW port " + PortAndDevice(openCode_) +
                  " stopped working: " + ErrorFromErrno(err).description + "." + nl + nl +
                  "Sending has stopped. When the interface is back, save the CW Options (or "
                  "start Orvex again) to open the port again.",
              std::nullopt, "CW Setup");
}

Text PortSetup::PortStatusText() const {
  if (!failure_.empty()) return PortAndDevice(failedCode_) + " failed: " + failure_;
  if (!portOpen_ || openCode_ == 0) return "none";
  return PortAndDevice(openCode_) + " open";
}

void PortSetup::SetCWSpeed(int16_t speed) {
  if (speed < 1) speed = 1;  // callers keep 1 to 99; never divide by zero
  speed_ = speed;
  elements_ = BuildElementTable(morse_);
  unitMs_ = static_cast<int16_t>(1200.0 / speed);
  keyer_.Idle();
  keyer_.Unit(unitMs_);
  if (observer_) observer_->SpeedChanged(speed_);
}

void PortSetup::StoreSpeed(int16_t speed) {
  speed_ = speed;
  if (observer_) observer_->SpeedChanged(speed_);
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
  failed_ = false;
  if (!portOpen_) return;
  keyer_.Close();
  portOpen_ = false;
}

Text PortSetup::PortAndDevice(int16_t portCode) const {
  const Text device = Utf8ToCp1252(engine::DeviceForPort(portCode));
  // A port named by its device path is not named twice.
  return device.empty() || device == settings_.CWPort ? settings_.CWPort
                                                      : settings_.CWPort + " (" + device + ")";
}

Text PortSetup::SetupFailureText(const Text& portName, int16_t portCode, const OpenResult& result) {
  const Text nl(CRLF);
  const std::string device = engine::DeviceForPort(portCode);
  Text text = "Can't initialize CW port " + portName +
              (device.empty() ? Text() : " (" + Utf8ToCp1252(device) + ")") + "." + nl + nl +
              "Status = " + std::to_string(result.Number());
  // The named statuses keep their words; any other failure says what the
  // system says (an I/O error is no "device in use").
  text += result.status == engine::OpenStatus::Other ? ", " + ErrorFromErrno(result.err).description
                                                     : Text(result.Suffix());
  text += "." + nl + nl;
  if (result.status == engine::OpenStatus::NoAccess && !device.empty()) {
    const std::string group = engine::DeviceGroup(device, portCode);
    text += "Your user may not open " + Utf8ToCp1252(device) + ": add it to the group " + group +
            " (sudo adduser $USER " + group + ") and log in again." + nl + nl;
  }
  return text + "Use Options/CW Port Select to change port.";
}

}  // namespace orvex
