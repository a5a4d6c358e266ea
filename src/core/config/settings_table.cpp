#include "core/config/settings_table.h"

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <limits>
#include <vector>

#include "base/numbers.h"
#include "core/config/keyer_kinds.h"
#include "core/config/net_address.h"
#include "core/config/port_name.h"

namespace orvex {
namespace {

// Port names are stored upper case ("none" as "None"); a device path as it
// is written.
Result CheckPortEntry(const Text& typed, Text* stored) {
  Text port = TrimBlanks(typed);
  if (port.empty() || port[0] != '/') port = UpperCase(port);
  if (port == "NONE") port = "None";
  int16_t code = 0;
  if (const Result parsed = ParseCWPort(port, &code); !parsed.ok())
    return Result::Refused(parsed.text() + Text(CRLF) +
                           "CW port must be COM1 to COM8, LPT1, LPT2, a device path or None.");
  *stored = port;
  return {};
}

// The window takes loggers' requests from this computer only: a logger on
// another one keys through orvex-keyd, which names who may.
Result CheckNetKeyerEntry(const Text& typed, Text* stored) {
  *stored = TrimBlanks(typed);
  if (stored->empty()) return {};
  NetAddress address;
  AddrInfo found;
  if (!ParseNetAddress(*stored, &address).ok() || !ResolveNetAddress(address, &found).ok())
    return Result::Refused("Logger UDP port must be 1 - 65535, or address:port, or empty");
  sockaddr_storage bound{};
  std::memcpy(&bound, found->ai_addr, found->ai_addrlen);
  if (!IsLoopback(bound))
    return Result::Refused(
        "Loggers key through the window from this computer only: a UDP port alone, or "
        "127.0.0.1:port. Loggers on other computers key through orvex-keyd --allow");
  return {};
}

// A keyer on another machine: host:port, as any address is written.
Result CheckRemoteEntry(const Text& typed, Text* stored) {
  *stored = TrimBlanks(typed);
  NetAddress address;
  if (stored->find(':') != Text::npos && ParseNetAddress(*stored, &address).ok()) return {};
  return Result::Refused("Remote keyer must be host:port");
}

// A paddle's own port: a serial one, or empty for the CW port's lines.
Result CheckPaddlePortEntry(const Text& typed, Text* stored) {
  Text port = TrimBlanks(typed);
  if (port.empty()) {
    stored->clear();
    return {};
  }
  if (port[0] != '/') port = UpperCase(port);
  int16_t code = 0;
  if (!ParseCWPort(port, &code).ok() || code <= 0)
    return Result::Refused(
        "Paddle port must be COM1 to COM8, a device path, or empty (the CW port)");
  *stored = port;
  return {};
}

// The digits a serial number sends as cut letters: digits only, each once.
Result CheckCutNumbers(const Text& typed, Text* stored) {
  stored->clear();
  for (char c : TrimBlanks(typed)) {
    if (c < '0' || c > '9') return Result::Refused("Cut numbers must be digits, such as 09");
    if (stored->find(c) == Text::npos) *stored += c;
  }
  return {};
}

// In the order the file is written, one row a setting.
// clang-format off
const Setting kTable[] = {
    {.key = "Version", .field = &EnvSettings::Version, .how = Written::Version},
    {.key = "Call", .field = &EnvSettings::MyCall, .how = Written::Text, .onlyWith = &EnvSettings::MyCall, .tab = Tab::Loggers, .caption = "My call (#ME)"},
    {.key = "ColorPktFore", .field = &EnvSettings::ColorPktFore, .onlyWith = &EnvSettings::ColorPktFore},
    // The foreground colour decides both lines.
    {.key = "ColorPktBack", .field = &EnvSettings::ColorPktBack, .onlyWith = &EnvSettings::ColorPktFore},
    {.key = "CWPort", .field = &EnvSettings::CWPort, .text = "None", .how = Written::Text, .check = CheckPortEntry, .tab = Tab::Keying, .entry = Entry::Port, .caption = "TX Port"},
    {.key = "CWSpeed", .field = &EnvSettings::CWSpeed, .number = 28, .limits = kSpeedLimits, .label = "Speed", .tab = Tab::Keying, .caption = "Speed", .unit = "WPM"},
    {.key = "CWSidetone_Device", .field = &EnvSettings::CWSidetone_Device, .number = 1, .tab = Tab::Sound, .entry = Entry::Options, .caption = "Sidetone device", .options = "1=Use PC Speaker|3=Use Sound Card/MIDI|4=Use Sound Card/Wave"},
    {.key = "CWSidetone_Enable", .field = &EnvSettings::CWSidetone_Enable, .number = 1, .alsoRead = "CWSIDETONE", .tab = Tab::Sound, .entry = Entry::Flag, .caption = "Enable Sidetone"},
    {.key = "CWTone", .field = &EnvSettings::CWTone, .number = 600, .limits = kToneLimits, .label = "CW tone", .tab = Tab::Sound, .caption = "Tone Freq.", .unit = "Hz"},
    {.key = "CWWeight", .field = &EnvSettings::CWWeight, .number = 50, .limits = kWeightLimits, .label = "Weight", .tab = Tab::Sound, .caption = "Weight", .unit = "% (50: plain)"},
    {.key = "CWFarnsworth", .field = &EnvSettings::CWFarnsworth, .onlyChanged = true, .limits = kFarnsworthLimits, .label = "Farnsworth speed", .tab = Tab::Sound, .caption = "Farnsworth", .unit = "WPM (0: off)"},
    {.key = "CWWordSpace", .field = &EnvSettings::CWWordSpace, .number = 6, .onlyChanged = true, .limits = kWordSpaceLimits, .label = "Word space", .tab = Tab::Sound, .caption = "Word space", .unit = "units (6 or 7)"},
    {.key = "CWPttLead", .field = &EnvSettings::CWPttLead, .limits = kPttLeadLimits, .fileLimited = true, .label = "PTT lead", .tab = Tab::Keying, .caption = "PTT lead", .unit = "ms"},
    {.key = "CWPttTail", .field = &EnvSettings::CWPttTail, .limits = kPttTailLimits, .fileLimited = true, .label = "PTT tail", .tab = Tab::Keying, .caption = "PTT tail", .unit = "ms"},
    {.key = "CWKeyer", .field = &EnvSettings::CWKeyer, .text = "Line", .how = Written::Text, .onlyChanged = true, .label = "Keyer", .choices = KeyerNames(), .tab = Tab::Keying, .caption = "Keyer"},
    {.key = "CWKeyLine", .field = &EnvSettings::CWKeyLine, .text = "DTR", .how = Written::Text, .onlyChanged = true, .label = "Key line", .choices = "DTR|RTS", .tab = Tab::Keying, .caption = "Key line"},
    {.key = "CWPttLine", .field = &EnvSettings::CWPttLine, .text = "RTS", .how = Written::Text, .onlyChanged = true, .label = "PTT line", .choices = "RTS|DTR|None|Rig", .tab = Tab::Keying, .caption = "PTT line"},
    {.key = "Paddle", .field = &EnvSettings::Paddle, .text = "None", .how = Written::Text, .onlyChanged = true, .label = "Paddle", .choices = "None|IambicA|IambicB|Ultimatic|Bug|Straight", .tab = Tab::Keying, .caption = "Paddle"},
    {.key = "PaddlePort", .field = &EnvSettings::PaddlePort, .how = Written::Text, .onlyWith = &EnvSettings::PaddlePort, .check = CheckPaddlePortEntry, .tab = Tab::Keying, .caption = "Paddle port", .unit = "(empty: the CW port)"},
    {.key = "PaddleDit", .field = &EnvSettings::PaddleDit, .text = "CTS", .how = Written::Text, .onlyChanged = true, .label = "Paddle dit line", .choices = "CTS|DSR|DCD|RI", .tab = Tab::Keying, .caption = "Dit contact on"},
    {.key = "PaddleDah", .field = &EnvSettings::PaddleDah, .text = "DSR", .how = Written::Text, .onlyChanged = true, .label = "Paddle dah line", .choices = "CTS|DSR|DCD|RI", .tab = Tab::Keying, .caption = "Dah contact on"},
    {.key = "PaddleSwap", .field = &EnvSettings::PaddleSwap, .onlyChanged = true, .tab = Tab::Keying, .entry = Entry::Flag, .caption = "Swap dit and dah"},
    {.key = "RigModel", .field = &EnvSettings::RigModel, .number = 2, .onlyChanged = true, .limits = kRigModelLimits, .label = "Rig model", .tab = Tab::Radio, .caption = "Rig model", .note = RigModelNote},
    {.key = "RigPort", .field = &EnvSettings::RigPort, .text = "localhost:4532", .how = Written::Text, .onlyChanged = true, .tab = Tab::Radio, .caption = "Rig port", .unit = "device, or host:port of rigctld"},
    {.key = "RigBaud", .field = &EnvSettings::RigBaud, .onlyChanged = true, .limits = kRigBaudLimits, .label = "Rig baud rate", .tab = Tab::Radio, .caption = "Rig baud", .unit = "(0: the model's)"},
    {.key = "RemoteKeyer", .field = &EnvSettings::RemoteKeyer, .text = "127.0.0.1:6789", .how = Written::Text, .onlyChanged = true, .check = CheckRemoteEntry, .tab = Tab::Radio, .caption = "Remote keyer", .unit = "host:port"},
    {.key = "ContestNr", .field = &EnvSettings::ContestNr, .number = 1, .onlyChanged = true, .limits = kContestNrLimits, .label = "Serial number", .tab = Tab::Loggers, .caption = "Serial number (#NR)"},
    {.key = "NrDigits", .field = &EnvSettings::NrDigits, .number = 3, .onlyChanged = true, .limits = kNrDigitsLimits, .label = "Serial number digits", .tab = Tab::Loggers, .caption = "Serial number digits"},
    {.key = "CutNumbers", .field = &EnvSettings::CutNumbers, .how = Written::Text, .onlyWith = &EnvSettings::CutNumbers, .check = CheckCutNumbers, .tab = Tab::Loggers, .caption = "Cut numbers", .unit = "digits sent as letters (09)"},
    {.key = "NetKeyer", .field = &EnvSettings::NetKeyer, .how = Written::Text, .onlyWith = &EnvSettings::NetKeyer, .check = CheckNetKeyerEntry, .tab = Tab::Loggers, .caption = "Loggers' UDP port", .unit = "(empty: off)"},
    {.key = "NetPttLimit", .field = &EnvSettings::NetPttLimit, .number = 30, .onlyChanged = true, .limits = kNetPttLimits, .fileLimited = true, .label = "Logger PTT limit", .tab = Tab::Loggers, .caption = "Logger PTT limit", .unit = "s"},
    {.key = "NetSilenceLimit", .field = &EnvSettings::NetSilenceLimit, .number = 3, .onlyChanged = true, .limits = kNetSilenceLimits, .fileLimited = true, .label = "Keyer silence limit", .tab = Tab::Loggers, .caption = "Keyer silence limit", .unit = "s"},
    {.key = "MsgCW", .field = &EnvSettings::MsgCW, .how = Written::Numbered, .tab = Tab::Messages},  // MsgCW1 to MsgCW8
    {.key = "PacketTop", .field = &EnvSettings::PacketTop, .number = -1},
    {.key = "PacketLeft", .field = &EnvSettings::PacketLeft},
    {.key = "PacketHeight", .field = &EnvSettings::PacketHeight},
    {.key = "PacketWidth", .field = &EnvSettings::PacketWidth},
    {.key = "PacketState", .field = &EnvSettings::PacketState},
    // Written even when empty (the pane's own font): not written, it would read back as FixedSys.
    {.key = "PacketFontName", .field = &EnvSettings::PacketFontName, .text = "FixedSys", .how = Written::Text},
    {.key = "PacketFontSize", .field = &EnvSettings::PacketFontSize, .number = 9, .how = Written::Decimal, .onlyWith = &EnvSettings::PacketFontName},
    {.key = "PacketFontBold", .field = &EnvSettings::PacketFontBold, .onlyWith = &EnvSettings::PacketFontName},
    {.key = "PacketFontItalic", .field = &EnvSettings::PacketFontItalic, .onlyWith = &EnvSettings::PacketFontName},
    {.key = "PacketFontUnderline", .field = &EnvSettings::PacketFontUnderline, .onlyWith = &EnvSettings::PacketFontName},
    {.key = "PacketFontStrikeThru", .field = &EnvSettings::PacketFontStrikeThru, .onlyWith = &EnvSettings::PacketFontName},
};
// clang-format on

// Not empty, not zero.
bool IsSet(const EnvSettings& s, const Field& field) {
  return std::visit(
      [&s](auto member) {
        if constexpr (std::is_same_v<decltype(member), std::monostate>) {
          return true;
        } else if constexpr (std::is_same_v<decltype(member), Text EnvSettings::*>) {
          return !(s.*member).empty();
        } else if constexpr (std::is_same_v<decltype(member), std::array<Text, 8> EnvSettings::*>) {
          return true;
        } else {
          return s.*member != 0;
        }
      },
      field);
}

// A number into a field of type T, within its range and, where asked, the
// setting's limits.
template <typename T>
bool StoreNumber(T& into, double value, const Limits& limits) {
  const auto rounded =
      RoundHalfEven(value, std::max<long long>(limits.lo, std::numeric_limits<T>::min()),
                    std::min<long long>(limits.hi, std::numeric_limits<T>::max()));
  if (!rounded) return false;
  into = static_cast<T>(*rounded);
  return true;
}

Text NumberLine(const char* key, long long value) {
  return Text(key) + "=" + SignedDigits(value) + " " + Text(CRLF);
}

}  // namespace

EnvSettings::EnvSettings() {
  for (const Setting& row : kTable)
    std::visit(
        [&](auto member) {
          using M = decltype(member);
          if constexpr (std::is_same_v<M, Text EnvSettings::*>)
            this->*member = row.text;
          else if constexpr (std::is_same_v<M, float EnvSettings::*>)
            this->*member = static_cast<float>(row.number);
          else if constexpr (std::is_same_v<M, int16_t EnvSettings::*> ||
                             std::is_same_v<M, int32_t EnvSettings::*>)
            this->*member =
                static_cast<std::remove_reference_t<decltype(this->*member)>>(row.number);
        },
        row.field);
}

const char* TabTitle(Tab tab) {
  switch (tab) {
    case Tab::Keying:
      return "Keying";
    case Tab::Radio:
      return "Radio, far keyer";
    case Tab::Sound:
      return "Sidetone, timing";
    case Tab::Loggers:
      return "Loggers, contest";
    case Tab::Messages:
      return "Messages";
    case Tab::None:
      break;
  }
  return "";
}

std::span<const Setting> SettingsTable() {
  return kTable;
}

Result CheckLineChoice(const EnvSettings& s) {
  if (UpperCase(s.CWKeyLine) != UpperCase(s.CWPttLine)) return {};
  return Result::Refused("The key line and the PTT line can't both be " + s.CWKeyLine +
                         ": choose another PTT line, or None");
}

Result CheckKeyingChoices(const EnvSettings& s) {
  for (const Setting& row : kTable) {
    if (!row.choices) continue;
    EnvSettings probe = s;
    const Text& value = s.*std::get<Text EnvSettings::*>(row.field);
    if (const Result entered = row.Enter(probe, value); !entered.ok())
      return Result::Refused(Text(row.key) + " '" + value + "' in the environment file is not " +
                             entered.text().substr(entered.text().find(" must be ") + 9));
  }
  return {};
}

const Setting& SettingFor(const Field& field) {
  for (const Setting& row : kTable)
    if (row.field == field) return row;
  return kTable[0];
}

const Setting* SettingByFileKey(std::string_view key, int* index) {
  *index = 0;
  for (const Setting& row : kTable)
    if (row.how != Written::Numbered &&
        (key == UpperCase(row.key) || (row.alsoRead && key == row.alsoRead)))
      return &row;
  for (const Setting& row : kTable) {
    const Text prefix = UpperCase(row.key);
    if (row.how == Written::Numbered && key.substr(0, prefix.size()) == prefix) {
      const int n = key.back() - '0';  // the last character counts: "MSGCW12" is message 2
      *index = n >= 1 && n <= 8 ? n : 0;
      return &row;
    }
  }
  return nullptr;
}

Result Setting::Read(EnvSettings& s, std::string_view value, int index) const {
  const Limits range = fileLimited ? limits : Limits{};
  long long lo = 0, hi = 0;  // what fits, for the message
  const bool fits = std::visit(
      [&](auto member) {
        using M = decltype(member);
        if constexpr (std::is_same_v<M, Text EnvSettings::*>) {
          s.*member = Text(value);
          return true;
        } else if constexpr (std::is_same_v<M, std::array<Text, 8> EnvSettings::*>) {
          if (index >= 1 && index <= 8) (s.*member)[static_cast<size_t>(index - 1)] = Text(value);
          return true;
        } else if constexpr (std::is_same_v<M, float EnvSettings::*>) {
          const double v = LeadingNumber(value);
          if (!(v >= -FLT_MAX && v <= FLT_MAX)) return false;
          s.*member = static_cast<float>(v);
          return true;
        } else if constexpr (std::is_same_v<M, std::monostate>) {
          return true;
        } else {
          using T = std::remove_reference_t<decltype(s.*member)>;
          lo = std::max<long long>(range.lo, std::numeric_limits<T>::min());
          hi = std::min<long long>(range.hi, std::numeric_limits<T>::max());
          return StoreNumber(s.*member, LeadingNumber(value), range);
        }
      },
      field);
  if (fits) return {};
  // Named as the file names it, with what it may be.
  return Result::Failed(
      Fault::Read, EOVERFLOW,
      Text(key) + (lo < hi ? " must be " + std::to_string(lo) + " - " + std::to_string(hi)
                           : Text(" is out of range")));
}

long long Setting::Number(const EnvSettings& s) const {
  if (const auto* m = std::get_if<int16_t EnvSettings::*>(&field)) return s.**m;
  if (const auto* m = std::get_if<int32_t EnvSettings::*>(&field)) return s.**m;
  return 0;
}

Text Setting::Lines(const EnvSettings& s) const {
  if (!IsSet(s, onlyWith)) return {};
  if (onlyChanged) {
    const auto* t = std::get_if<Text EnvSettings::*>(&field);
    if (t ? s.**t == text : Number(s) == static_cast<long long>(number)) return {};
  }
  const Text eol(CRLF);
  switch (how) {
    case Written::Number:
      return NumberLine(key, Number(s));
    case Written::Decimal: {
      const Text digits = DecimalText(s.*std::get<float EnvSettings::*>(field));
      return Text(key) + "=" + (digits[0] == '-' ? "" : " ") + digits + " " + eol;
    }
    case Written::Text:
      return Text(key) + "=" + s.*std::get<Text EnvSettings::*>(field) + eol;
    case Written::Version:
      return Text(key) + "=" + kProgramVersion + eol;
    case Written::Numbered: {
      Text out;
      const auto& entries = s.*std::get<std::array<Text, 8> EnvSettings::*>(field);
      for (size_t n = 0; n < entries.size(); ++n)
        if (!entries[n].empty()) out += key + std::to_string(n + 1) + "=" + entries[n] + eol;
      return out;
    }
  }
  return {};
}

Result Setting::Enter(EnvSettings& s, const Text& typed) const {
  if (choices) {
    const Text want = UpperCase(TrimBlanks(typed));
    std::vector<std::string_view> words;
    for (std::string_view rest = choices; !rest.empty();) {
      const size_t bar = rest.find('|');
      words.push_back(rest.substr(0, bar));
      rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
    }
    for (std::string_view word : words)
      if (UpperCase(Text(word)) == want) {
        s.*std::get<Text EnvSettings::*>(field) = Text(word);
        return {};
      }
    Text list;
    for (size_t i = 0; i < words.size(); ++i) {
      if (i + 1 == words.size() && i > 0)
        list += " or ";
      else if (i > 0)
        list += ", ";
      list += words[i];
    }
    return Result::Refused(Text(label ? label : key) + " must be " + list);
  }
  if (check) {
    Text stored;
    if (Result checked = check(typed, &stored); !checked.ok()) return checked;
    s.*std::get<Text EnvSettings::*>(field) = stored;
    return {};
  }
  if (const auto* text = std::get_if<Text EnvSettings::*>(&field)) {
    s.** text = typed;
    return {};
  }
  long long number = 0;
  if (Result checked = CheckNumber(typed, &number); !checked.ok()) return checked;
  std::visit(
      [&](auto member) {
        using M = decltype(member);
        if constexpr (std::is_same_v<M, int16_t EnvSettings::*> ||
                      std::is_same_v<M, int32_t EnvSettings::*>)
          s.*member = static_cast<std::remove_reference_t<decltype(s.*member)>>(number);
      },
      field);
  return {};
}

Result Setting::CheckNumber(const Text& typed, long long* number) const {
  long long lo = limits.lo, hi = limits.hi;
  std::visit(
      [&](auto member) {
        using M = decltype(member);
        if constexpr (std::is_same_v<M, int16_t EnvSettings::*> ||
                      std::is_same_v<M, int32_t EnvSettings::*>) {
          using T = std::remove_reference_t<decltype(std::declval<EnvSettings&>().*member)>;
          lo = std::max<long long>(lo, std::numeric_limits<T>::min());
          hi = std::min<long long>(hi, std::numeric_limits<T>::max());
        }
      },
      field);
  if (WholeNumber(typed, lo, hi, number)) return {};
  return Result::Refused(Text(label ? label : key) + " must be " + std::to_string(limits.lo) +
                         " - " + std::to_string(limits.hi));
}

Text Setting::Typed(const EnvSettings& s) const {
  if (const auto* text = std::get_if<Text EnvSettings::*>(&field)) return s.**text;
  return std::to_string(Number(s));
}

}  // namespace orvex
