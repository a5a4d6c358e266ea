#include "core/config/apply_cw_options.h"

#include "base/message.h"
#include "base/numbers.h"
#include "core/config/port_name.h"
#include "core/net/udp_listener.h"

namespace orvex {

CWOptionsEntries EntriesFrom(const EnvSettings& s) {
  CWOptionsEntries e;
  e.port = s.CWPort;
  e.speed = std::to_string(s.CWSpeed);
  e.tone = std::to_string(s.CWTone);
  e.sidetone = s.CWSidetone_Enable != 0;
  e.device = s.CWSidetone_Device == 3 || s.CWSidetone_Device == 4 ? s.CWSidetone_Device : 1;
  e.messages = s.MsgCW;
  e.pttLead = std::to_string(s.CWPttLead);
  e.pttTail = std::to_string(s.CWPttTail);
  e.netKeyer = s.NetKeyer;
  return e;
}

bool ApplyCWOptions(const CWOptionsEntries& e, ProgramState& state, SendPath& send,
                    MessageSink& sink) {
  constexpr const char* kTitle = "Set CW Options";
  // Port names are stored upper case; a device path as it is.
  Text port = TrimBlanks(e.port);
  if (port.empty() || port[0] != '/') port = UpperCase(port);
  if (port == "NONE") port = "None";
  const PortParse parsed = ParseCWPort(port);
  if (!parsed.error.empty()) {
    ShowMessage(sink,
                parsed.error + Text(CRLF) + "CW port must be COM1 thru 4, LPT1, LPT2 or None.",
                std::nullopt, kTitle);
    return false;
  }
  int16_t speed = 0, tone = 0;
  if (!IsNumberInRange(e.speed, 1, 99, &speed)) {
    ShowMessage(sink, "Speed must be 1 - 99", std::nullopt, kTitle);
    return false;
  }
  if (!IsNumberInRange(e.tone, 0, 9999, &tone)) {
    ShowMessage(sink, "CW tone must be 0 - 9999", std::nullopt, kTitle);
    return false;
  }
  int16_t lead = 0, tail = 0;
  if (!IsNumberInRange(e.pttLead, 0, kMaxPttLeadMs, &lead)) {
    ShowMessage(sink, "PTT lead must be 0 - " + std::to_string(kMaxPttLeadMs), std::nullopt,
                kTitle);
    return false;
  }
  if (!IsNumberInRange(e.pttTail, 0, kMaxPttTailMs, &tail)) {
    ShowMessage(sink, "PTT tail must be 0 - " + std::to_string(kMaxPttTailMs), std::nullopt,
                kTitle);
    return false;
  }
  const Text netKeyer = TrimBlanks(e.netKeyer);
  if (!netKeyer.empty() && !IsNetAddress(netKeyer)) {
    ShowMessage(sink, "Logger UDP port must be 1 - 65535, or address:port, or empty", std::nullopt,
                kTitle);
    return false;
  }
  EnvSettings& s = state.Env;
  s.NetKeyer = netKeyer;
  state.CWPortCode = parsed.code;
  s.CWPort = port;
  s.CWSpeed = speed;
  send.Port().StoreSpeed(speed);
  s.MsgCW = e.messages;
  s.CWTone = tone;
  s.CWSidetone_Device = static_cast<int16_t>(e.device == 3 || e.device == 4 ? e.device : 1);
  s.CWSidetone_Enable = e.sidetone ? 1 : 0;
  s.CWPttLead = lead;
  s.CWPttTail = tail;
  if (state.PacketOpen && !send.ReconfigureCWPort(state.CWPortCode)) {
    state.CWPortCode = 0;
    return false;
  }
  if (state.EnvFile) state.EnvFile->WriteEnvironmentFile(s);
  return true;
}

CWOptionsSession::CWOptionsSession(ProgramState& state, SendPath& send, MessageSink& sink)
    : state_(state),
      send_(send),
      sink_(sink),
      settings_(state.Env),
      portCode_(state.CWPortCode),
      speed_(send.Port().Speed()),
      portOpen_(send.Port().CWPortOpen()) {}

bool CWOptionsSession::Save(const CWOptionsEntries& entries) {
  saved_ = ApplyCWOptions(entries, state_, send_, sink_);
  return saved_;
}

void CWOptionsSession::Cancel() {
  if (saved_ || (state_.Env == settings_ && state_.CWPortCode == portCode_)) return;
  // A Save the port refused changed the settings and closed the port: put
  // back the settings, the speed and the port as they were.
  state_.Env = settings_;
  state_.CWPortCode = portCode_;
  send_.Port().StoreSpeed(speed_);
  if (state_.PacketOpen && (portOpen_ || send_.Port().CWPortOpen())) send_.OpenCWPort(portCode_);
}

}  // namespace orvex
