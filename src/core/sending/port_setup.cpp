#include "core/sending/port_setup.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <utility>

#include "core/config/port_name.h"
#include "core/config/settings_table.h"
#include "engine/lines/device_names.h"
#include "engine/lines/open_status.h"

namespace orvex {
namespace {

constexpr const char* kSetupTitle = "CW Setup";

}  // namespace

Wiring WiringFrom(const EnvSettings& s) {
  auto line = [](const Text& name) {
    const Text upper = UpperCase(name);
    return upper == "DTR"   ? engine::SerialLine::Dtr
           : upper == "RTS" ? engine::SerialLine::Rts
           : upper == "RIG" ? engine::SerialLine::Rig
                            : engine::SerialLine::None;
  };
  Wiring wiring;
  // A name no kind has keys nothing (PortSetup refuses it before this counts).
  if (const KeyerKind* kind = KeyerKindNamed(s.CWKeyer)) wiring.keyer = kind;
  wiring.lines.key = line(s.CWKeyLine);
  wiring.lines.ptt = line(s.CWPttLine);
  wiring.rig.model = s.RigModel;
  wiring.rig.port = Cp1252ToUtf8(s.RigPort);
  wiring.rig.baud = s.RigBaud;
  wiring.remote = Cp1252ToUtf8(s.RemoteKeyer);
  return wiring;
}

engine::PaddleSetup PaddleFrom(const EnvSettings& s) {
  using engine::PaddleMode;
  engine::PaddleSetup setup;
  const Text mode = UpperCase(s.Paddle);
  setup.mode = mode == "IAMBICA"     ? PaddleMode::IambicA
               : mode == "IAMBICB"   ? PaddleMode::IambicB
               : mode == "ULTIMATIC" ? PaddleMode::Ultimatic
               : mode == "BUG"       ? PaddleMode::Bug
               : mode == "STRAIGHT"  ? PaddleMode::Straight
                                     : PaddleMode::None;
  int16_t code = 0;
  if (!s.PaddlePort.empty() && ParseCWPort(s.PaddlePort, &code).ok())
    setup.device = code > 0 && code <= 8 ? engine::DeviceForPort(code) : Cp1252ToUtf8(s.PaddlePort);
  setup.dit = UpperCase(s.PaddleDit);
  setup.dah = UpperCase(s.PaddleDah);
  setup.swap = s.PaddleSwap != 0;
  return setup;
}

void PortSetup::InitCW() {
  portOpen_ = false;
  keyboardCW_ = false;
  morse_ = FillMorseTable();
  const Setting& speed = SettingFor(&EnvSettings::CWSpeed);
  speed_ = speed.limits.Holds(settings_.CWSpeed) ? settings_.CWSpeed
                                                 : static_cast<int16_t>(speed.number);
}

void PortSetup::ApplySidetone() {
  if (settings_.CWSidetone_Enable != 0) {
    keyer_.Sidetone(engine::SidetoneDeviceFrom(settings_.CWSidetone_Device));
    keyer_.Tone(settings_.CWTone);
  } else {
    keyer_.Sidetone(SidetoneDevice::None);
  }
}

Result PortSetup::OpenPort(int16_t portCode, bool quietly) {
  CloseKeyer();
  sidetoneReported_ = false;
  failure_ = {};
  const Wiring wiring = WiringFrom(settings_);
  // The radio's keyer and a keyer elsewhere need no port of their own.
  const bool portless = wiring.keyer->port == PortUse::None;
  if (portCode == 0 && settings_.CWSidetone_Enable == 0 && !portless) return {};
  // A keying choice nobody can read keys nothing: guessed, it might key a
  // carrier on the line the radio keys on.
  Result opened = CheckKeyingChoices(settings_);
  if (opened.ok()) opened = keyer_.Open(portCode, wiring);
  if (!opened.ok()) {
    NoteFailure(portCode, opened);
    const Result told = opened.Told(SetupFailureText(portCode, opened));
    if (!quietly) attention_.Failed(kSetupTitle, told);
    return told;
  }
  Adopt(portCode, wiring);
  return {};
}

void PortSetup::Adopt(int16_t portCode, const Wiring& wiring) {
  lineFailed_ = false;
  failure_ = {};
  sidetoneReported_ = false;
  portOpen_ = true;
  openCode_ = portCode;
  openWiring_ = wiring;
  ApplyPortSettings();
}

Result PortSetup::SwitchPort(int16_t portCode) {
  const Wiring wiring = WiringFrom(settings_);
  const Result opened = keyer_.Open(portCode, wiring);
  if (!opened.ok()) {
    const Result told = opened.Told(SetupFailureText(portCode, opened));
    attention_.Failed(kSetupTitle, told);
    return told;
  }
  Adopt(portCode, wiring);
  return {};
}

bool PortSetup::Reapply(int16_t portCode) {
  if (!portOpen_ || lineFailed_ || portCode != openCode_ || WiringFrom(settings_) != openWiring_)
    return false;
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
  keyer_.Weight(settings_.CWWeight);
  keyer_.Farnsworth(settings_.CWFarnsworth);
  SetCWSpeed(speed_);
  ApplyPaddle();
  CheckSidetone();
}

void PortSetup::ApplyPaddle() {
  const engine::PaddleSetup setup = PaddleFrom(settings_);
  const KeyerKind& kind = *openWiring_.keyer;
  Result paddle;
  if (setup.mode != engine::PaddleMode::None && !OneOf(kind.paddles, settings_.Paddle)) {
    Text takes = kind.paddles;
    for (char& c : takes)
      if (c == '|') c = ',';
    paddle = Result::Refused(
        KeyerWords(kind.through, kind, settings_) +
        (takes.empty() ? Text(" takes no paddle of ours: plug it into that keyer's own paddle "
                              "input, or key through the port's lines (Keyer Line)")
                       : " takes the paddle as " + takes));
    (void)keyer_.Paddle({});
  } else {
    paddle = keyer_.Paddle(setup);
  }
  if (paddle.ok()) return;
  attention_.Failed(kSetupTitle, paddle.Told("The paddle (" + settings_.Paddle +
                                             ") keys nothing: " + paddle.Description() + "."));
}

void PortSetup::CheckSidetone() {
  // A keyer that times itself is heard by its own sidetone (a WinKeyer's,
  // the radio's), or far away: ours plays only notices for it.
  if (!portOpen_ || openWiring_.keyer->open) return;
  const engine::SidetoneStatus status = keyer_.SidetoneState();
  if (status.problem.empty()) {
    sidetoneReported_ = false;
    startPassed_ = true;
    return;
  }
  if (sidetoneReported_) return;
  sidetoneReported_ = true;
  if (!std::exchange(startPassed_, true) && remedies_.silentStartShown) return;
  const Text nl(CRLF);
  attention_.Failed("Sidetone",
                    Result::Failed(Fault::Open, 0,
                                   "The sidetone cannot be heard: " + Utf8ToCp1252(status.problem) +
                                       "." + nl + nl + remedies_.soundAgain));
}

Text PortSetup::SidetoneText() {
  // Nothing open because it failed: the sound is there, the keying is not.
  if (!portOpen_) return failure_.failed() ? "silent: nothing is keyed" : "none";
  const engine::SidetoneStatus status = keyer_.SidetoneState();
  if (!status.problem.empty()) return "silent: " + Utf8ToCp1252(status.problem);
  if (status.output.empty()) return "none";
  Text text = Utf8ToCp1252(status.output);
  if (status.grantedMs > 0) {
    char granted[32];
    std::snprintf(granted, sizeof granted, ", %.1f ms", status.grantedMs);
    text += granted;
  }
  if (status.withKey)
    text += ", with the key";
  else if (status.latencyMs > 0)
    text += ", " + std::to_string(std::lround(status.latencyMs)) + " ms behind the key";
  // The device chosen is missing and another plays: said, so the choice
  // shown in CW Options and what is heard cannot be taken for each other.
  const engine::SidetoneDevice chosen = engine::SidetoneDeviceFrom(settings_.CWSidetone_Device);
  if (status.device != engine::SidetoneDevice::None && status.device != chosen)
    text += chosen == engine::SidetoneDevice::Midi ? " (no MIDI synth: in its place)"
                                                   : " (no PC speaker: in its place)";
  return text;
}

void PortSetup::LineFailed(const Result& failure) {
  if (lineFailed_) return;
  lineFailed_ = true;
  NoteFailure(openCode_, failure);
  const Text nl(CRLF);
  attention_.Failed(kSetupTitle, failure.Told(KeyedThrough(openCode_) +
                                              " stopped working: " + failure.Description() + "." +
                                              nl + nl + remedies_.portBack));
}

void PortSetup::NoteFailure(int16_t portCode, const Result& failure) {
  failedCode_ = portCode;
  failure_ = failure;
  // Busy: who has it (often orvex-keyd, started as a service), looked up
  // once here rather than at every refresh of the status.
  holder_.clear();
  if (engine::OpenStatusOf(failure) == engine::OpenStatus::InUse)
    holder_ = Utf8ToCp1252(engine::DeviceHolder(engine::DeviceForPort(portCode)));
}

Text PortSetup::PortStatusText() const {
  if (failure_.failed()) {
    // What failed, by the name the operator gave it.
    const KeyerKind& kind = *WiringFrom(settings_).keyer;
    const Text name = KeyerWords(kind.failedAs, kind, Placed(kind, failedCode_));
    if (kind.port == PortUse::None) return name + ": " + failure_.Description();
    Text text =
        name + " failed: " +
        (failure_.fault() == Fault::Open ? engine::StatusWords(failure_) : failure_.Description());
    if (!holder_.empty()) text += " (held by " + holder_ + ")";
    return text;
  }
  if (!portOpen_) return "none";
  if (const Text name = keyer_.Name(); !name.empty()) return name;
  if (openCode_ == 0) return "none";
  return PortAndDevice(openCode_) + " open";
}

void PortSetup::SetCWSpeed(int16_t speed) {
  const Limits limits = SettingFor(&EnvSettings::CWSpeed).limits;
  // Callers keep to the limits; never a unit of no length or a division by zero.
  speed_ = static_cast<int16_t>(std::max<int>(speed, limits.lo));
  elements_ = BuildElementTable(morse_);
  keyer_.Idle();
  keyer_.Unit(UnitNs(speed_));
  keyer_.Speed(speed_);
  if (observer_) observer_->SpeedChanged(speed_);
}

void PortSetup::StoreSpeed(int16_t speed) {
  speed_ = speed;
  if (observer_) observer_->SpeedChanged(speed_);
}

void PortSetup::StepCWSpeed(int step) {
  int16_t speed = speed_;
  if ((step > 0 && speed < kFastestStep) || (step <= 0 && speed > kSlowestStep))
    speed = static_cast<int16_t>(speed + step);
  SetCWSpeed(speed);
}

void PortSetup::AbortKeyer() {
  keyer_.Abort();
  keyer_.KeyLine(settings_.CWPort.empty() ? 0 : 1);
  ApplySidetone();
}

void PortSetup::CloseKeyer() {
  lineFailed_ = false;
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

EnvSettings PortSetup::Placed(const KeyerKind& kind, int16_t portCode) const {
  // A port is named with the device behind it.
  EnvSettings placed = settings_;
  if (kind.where == &EnvSettings::CWPort) placed.CWPort = PortAndDevice(portCode);
  return placed;
}

Text PortSetup::KeyedThrough(int16_t portCode) const {
  const KeyerKind& kind = *WiringFrom(settings_).keyer;
  Text through = KeyerWords(kind.through, kind, Placed(kind, portCode));
  through[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(through[0])));
  return through;
}

Text PortSetup::SetupFailureText(int16_t portCode, const Result& opened) const {
  const Text nl(CRLF);
  if (opened.fault() == Fault::Refused)
    return "Nothing is keyed: " + opened.text() + "." + nl + nl + remedies_.changeKeyer;
  if (const KeyerKind& kind = *WiringFrom(settings_).keyer; kind.port == PortUse::None)
    return "Can't key through " + KeyerWords(kind.through, kind, settings_) + ": " +
           opened.Description() + "." + nl + nl + kind.hint + nl + nl + remedies_.changeKeyer;
  const std::string device = engine::DeviceForPort(portCode);
  // The named statuses keep their words; any other failure says what the
  // system says (an I/O error is no "device in use").
  Text text = "Can't initialize CW port " + settings_.CWPort +
              (device.empty() ? Text() : " (" + Utf8ToCp1252(device) + ")") + "." + nl + nl +
              "Status = " + std::to_string(engine::StatusNumber(opened)) + ", " +
              engine::StatusWords(opened) + "." + nl + nl;
  if (engine::OpenStatusOf(opened) == engine::OpenStatus::NoAccess && !device.empty()) {
    const std::string group = engine::DeviceGroup(device, portCode);
    text += "Your user may not open " + Utf8ToCp1252(device) + ": add it to the group " + group +
            " (sudo adduser $USER " + group + ") and log in again." + nl + nl;
  }
  return text + remedies_.changePort;
}

}  // namespace orvex
