#include "core/frame/apply_cw_options.h"

#include "base/message.h"
#include "core/config/port_name.h"
#include "core/config/settings_table.h"

namespace orvex {

namespace {

// The settings the dialog edits, besides the messages.
const Field kEdited[] = {&EnvSettings::CWPort,
                         &EnvSettings::CWSpeed,
                         &EnvSettings::CWTone,
                         &EnvSettings::CWSidetone_Enable,
                         &EnvSettings::CWPttLead,
                         &EnvSettings::CWPttTail,
                         &EnvSettings::CWKeyer,
                         &EnvSettings::CWKeyLine,
                         &EnvSettings::CWPttLine,
                         &EnvSettings::NetKeyer,
                         &EnvSettings::CWSidetone_Device,
                         &EnvSettings::RigModel,
                         &EnvSettings::RigPort,
                         &EnvSettings::RigBaud,
                         &EnvSettings::RemoteKeyer,
                         &EnvSettings::MyCall,
                         &EnvSettings::CWWeight,
                         &EnvSettings::CWFarnsworth,
                         &EnvSettings::CWWordSpace};

}  // namespace

CWOptionsEntries EntriesFrom(const EnvSettings& s) {
  CWOptionsEntries e;
  for (const Field& field : kEdited) e.typed[SettingFor(field).key] = SettingFor(field).Typed(s);
  // A check box and a choice of three buttons show what they can.
  e.typed["CWSidetone_Enable"] = std::to_string(s.CWSidetone_Enable != 0 ? 1 : 0);
  if (s.CWSidetone_Device != 3 && s.CWSidetone_Device != 4)
    e.typed["CWSidetone_Device"] = std::to_string(1);
  e.messages = s.MsgCW;
  return e;
}

bool ApplyCWOptions(const CWOptionsEntries& e, ProgramState& state, SendPath& send,
                    MessageSink& sink) {
  EnvSettings next = state.Env;
  for (const Setting& setting : SettingsTable()) {
    const auto typed = e.typed.find(setting.key);
    if (typed == e.typed.end()) continue;
    if (const Result entered = setting.Enter(next, typed->second); !entered.ok()) {
      ShowMessage(sink, entered.text(), {}, "Set CW Options");
      return false;  // nothing applied
    }
  }
  if (const Result lines = CheckLineChoice(next); !lines.ok()) {
    ShowMessage(sink, lines.text(), {}, "Set CW Options");
    return false;
  }
  next.MsgCW = e.messages;
  int16_t portCode = 0;
  ParseCWPort(next.CWPort, &portCode);  // the entry was checked above
  state.Env = next;
  state.CWPortCode = portCode;
  send.StoreSpeed(next.CWSpeed);
  if (state.PacketOpen && !send.ReconfigureCWPort(portCode).ok()) {
    state.CWPortCode = 0;
    return false;
  }
  SaveSettings(state, sink);
  return true;
}

CWOptionsSession::CWOptionsSession(ProgramState& state, SendPath& send, MessageSink& sink)
    : state_(state),
      send_(send),
      sink_(sink),
      settings_(state.Env),
      portCode_(state.CWPortCode),
      speed_(send.Speed()),
      portOpen_(send.PortOpen()) {}

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
  send_.StoreSpeed(speed_);
  if (state_.PacketOpen && (portOpen_ || send_.PortOpen())) send_.OpenCWPort(portCode_);
}

}  // namespace orvex
