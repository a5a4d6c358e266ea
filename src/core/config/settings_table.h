// Every setting of the environment file, declared once: its key, the field
// of EnvSettings it lives in, its default, the limits an entry must keep and
// how it is written. The environment file reads and writes through this
// table, CW Options checks its entries with it, and the command-line
// programs their options. A new setting is one row here (in the order the
// file is written) and its field in EnvSettings.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

#include "base/result.h"
#include "core/config/env_settings.h"

namespace orvex {

// What a number may be. An entry outside its setting's limits is refused;
// the file may hold anything its field can (unless the row says otherwise).
struct Limits {
  int lo = INT_MIN;
  int hi = INT_MAX;
  bool Holds(long long v) const { return v >= lo && v <= hi; }
};
inline constexpr Limits kSpeedLimits{1, 99};         // words per minute
inline constexpr Limits kToneLimits{0, 9999};        // Hz
inline constexpr Limits kPttLeadLimits{0, 500};      // ms before the first element
inline constexpr Limits kPttTailLimits{0, 3000};     // ms after the last
inline constexpr Limits kNetPttLimits{1, 3600};      // s a logger may hold PTT without keying
inline constexpr Limits kNetSilenceLimits{1, 3600};  // s a telling sender may fall silent
inline constexpr Limits kRigModelLimits{1, 99999};
inline constexpr Limits kWeightLimits{10, 90};     // percent; 50 is plain timing
inline constexpr Limits kFarnsworthLimits{0, 99};  // overall WPM; 0 is off
inline constexpr Limits kWordSpaceLimits{6, 7};    // units between words
inline constexpr Limits kContestNrLimits{1, 99999};
inline constexpr Limits kNrDigitsLimits{1, 5};
inline constexpr Limits kRigBaudLimits{0, 1000000};

using Field =
    std::variant<std::monostate, Text EnvSettings::*, int16_t EnvSettings::*,
                 int32_t EnvSettings::*, float EnvSettings::*, std::array<Text, 8> EnvSettings::*>;

enum class Written {
  Number,    // in print form, blanks around it: "CWSpeed= 28 ", "PacketTop=-1 "
  Decimal,   // the shortest decimal the same way: "PacketFontSize= 10.5 "
  Text,      // exactly as held: "CWPort=COM1"
  Version,   // this program's version, whatever the field holds
  Numbered,  // a line for each entry that is not empty: "MsgCW3=..."
};

// A check of its own for what the operator typed (a port name, an
// address): the text to store, or why it is refused.
using EntryCheck = Result (*)(const Text& typed, Text* stored);

// Where CW Options shows a setting: its tab (None: not there), in the
// order of the rows.
enum class Tab : uint8_t { None, Keying, Radio, Sound, Loggers, Messages };
const char* TabTitle(Tab tab);
// The field that edits it. Auto: a choice for a setting with choices, a
// number field for a number, a text field for a text, message fields for
// the numbered messages.
enum class Entry : uint8_t { Auto, Port, Flag, Options };

struct Setting {
  const char* key;        // as written; read in upper case
  Field field;            // where it lives
  double number = 0;      // its default, for a number
  const char* text = "";  // its default, for a text
  Written how = Written::Number;
  Field onlyWith = {};             // written only while this one is set (not empty, not 0)
  bool onlyChanged = false;        // written only when it is not its default
  Limits limits = {};              // what an entry may be
  bool fileLimited = false;        // a value in the file outside the limits is refused
  const char* label = nullptr;     // names it in "Speed must be 1 - 99"
  EntryCheck check = nullptr;      // an entry's own check, instead of the limits
  const char* alsoRead = nullptr;  // another key the reader takes for it
  // The words a text setting may be, "|" between them ("DTR|RTS"); any
  // case is taken and stored as spelled here.
  const char* choices = nullptr;
  // In CW Options: the tab, the field, its caption and the unit after it;
  // for Options the numbers it may be with their captions ("1=PC
  // speaker|4=Sound card"); a note beside it that follows what is typed
  // (the rig model's name).
  Tab tab = Tab::None;
  Entry entry = Entry::Auto;
  const char* caption = nullptr;
  const char* unit = "";
  const char* options = nullptr;
  Text (*note)(const Text& typed) = nullptr;

  // A value read from the file, into s; refused, naming the key and what
  // it may be ("NetPttLimit must be 1 - 3600"), when the number does not
  // fit (s keeps what it held).
  Result Read(EnvSettings& s, std::string_view value, int index = 0) const;
  // What the writer writes for s: its lines, or nothing.
  Text Lines(const EnvSettings& s) const;
  // What the operator typed, checked and stored into s; refused with the
  // words for the operator ("Speed must be 1 - 99").
  Result Enter(EnvSettings& s, const Text& typed) const;
  // A typed number within the row's own limits (and its field's width),
  // into *number; refused as Enter is.
  Result CheckNumber(const Text& typed, long long* number) const;
  // The value in s as the operator would type it.
  Text Typed(const EnvSettings& s) const;
  // The number in s, for a number.
  long long Number(const EnvSettings& s) const;
};

std::span<const Setting> SettingsTable();

// The key line and the PTT line are not one line; refused with the words
// for the operator otherwise.
Result CheckLineChoice(const EnvSettings& s);
// Every keying choice (keyer, key line, PTT line) is one the program knows:
// "CWKeyLine 'RTSS' in the environment file is not DTR or RTS" otherwise.
Result CheckKeyingChoices(const EnvSettings& s);

// The setting a key of the file names (upper case): its own key or the one
// it is also read by, or a numbered one by its prefix, with *index set to
// the number (0 when it is no number from 1 to 8). Null for none.
const Setting* SettingByFileKey(std::string_view upperKey, int* index);

// The row of a field. Every field has one: a field without a row would be
// neither read nor written, which the settings' round-trip test catches.
const Setting& SettingFor(const Field& field);

}  // namespace orvex
