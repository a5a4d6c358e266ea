#include "core/frame/apply_cw_options.h"

#include <cstdlib>
#include <cstring>

#include "base/message.h"
#include "core/config/keyer_kinds.h"
#include "core/config/port_name.h"
#include "core/config/settings_table.h"

namespace orvex {

CWOptionsEntries EntriesFrom(const EnvSettings& s) {
  CWOptionsEntries e;
  for (const Setting& row : SettingsTable()) {
    if (row.tab == Tab::None || row.how == Written::Numbered) continue;
    Text typed = row.Typed(s);
    // A check box and a choice of buttons show what they can: on or off,
    // and the first button for a number none of them stands for.
    if (row.entry == Entry::Flag) typed = row.Number(s) != 0 ? "1" : "0";
    if (row.entry == Entry::Options && !OptionOf(row, typed))
      typed = std::to_string(atoi(row.options));
    e.typed[row.key] = typed;
  }
  e.messages = s.MsgCW;
  return e;
}

const char* OptionOf(const Setting& row, const Text& value) {
  for (const char* o = row.options; o && *o;) {
    const char* end = std::strchr(o, '|');
    if (Text(o, static_cast<size_t>(std::strchr(o, '=') - o)) == value)
      return std::strchr(o, '=') + 1;
    o = end ? end + 1 : nullptr;
  }
  return nullptr;
}

bool InUse(const Setting& row, const CWOptionsEntries& e) {
  auto typed = [&e](const char* key) {
    const auto it = e.typed.find(key);
    return it == e.typed.end() ? Text() : it->second;
  };
  const KeyerKind* found = KeyerKindNamed(typed("CWKeyer"));
  const KeyerKind& kind = found ? *found : LineKeyer();
  const std::string key = row.key;
  if (key == "CWPort") return kind.port != PortUse::None;
  if (key == "CWKeyLine") return *kind.keyLines != 0;
  if (key == "CWPttLine") return *kind.pttLines != 0;
  // The radio: its own keyer, or PTT by CAT beside the port's lines.
  if (row.tab == Tab::Radio && key != "RemoteKeyer")
    return kind.where == &EnvSettings::RigPort ||
           (OneOf(kind.pttLines, "Rig") && UpperCase(typed("CWPttLine")) == "RIG");
  if (key == "RemoteKeyer") return kind.where == &EnvSettings::RemoteKeyer;
  return true;
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
  (void)ParseCWPort(next.CWPort, &portCode);  // the entry was checked above
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
  if (state_.PacketOpen && (portOpen_ || send_.PortOpen()))
    (void)send_.OpenCWPort(portCode_);  // a failure has been told
}

}  // namespace orvex
