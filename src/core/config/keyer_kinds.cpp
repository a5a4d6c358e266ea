#include "core/config/keyer_kinds.h"

#include <cstdlib>
#include <string>

#include "engine/keyers/remote_keyer.h"
#include "engine/keyers/rig_keyer.h"
#include "engine/keyers/winkeyer.h"

namespace orvex {
namespace {

// clang-format off
const KeyerKind kKinds[] = {
    {.name = "Line", .port = PortUse::Lines, .keyLines = "DTR|RTS", .pttLines = "RTS|DTR|None|Rig",
     .speed = kSpeedLimits, .open = nullptr, .where = &EnvSettings::CWPort,
     .through = "CW port %s", .failedAs = "%s", .hint = "",
     .paddles = "IambicA|IambicB|Ultimatic|Bug|Straight"},
    {.name = "WinKeyer", .port = PortUse::Serial, .keyLines = "", .pttLines = "",
     .speed = {5, 99}, .open = engine::WinKeyer::OpenAt, .where = &EnvSettings::CWPort,
     .through = "the WinKeyer on %s", .failedAs = "WinKeyer on %s",
     .hint = "Is the WinKeyer powered and on this port?",
     // Its own paddle input: it has no straight-key mode.
     .paddles = "IambicA|IambicB|Ultimatic|Bug"},
    // PTT by CAT (Rig), or the radio's own break-in.
    {.name = "Rig", .port = PortUse::None, .keyLines = "", .pttLines = "Rig",
     .speed = {5, 99}, .open = engine::RigKeyer::OpenAt, .where = &EnvSettings::RigPort,
     .through = "the radio's keyer", .failedAs = "Radio's keyer",
     .hint = "Is rigctld running, at the address the CW Options name? Check the rig's model, "
             "port and baud rate.",
     .paddles = ""},
    // The loggers' protocol takes 5 to 60 WPM.
    {.name = "Remote", .port = PortUse::None, .keyLines = "", .pttLines = "",
     .speed = {5, 60}, .open = engine::RemoteKeyer::OpenAt, .where = &EnvSettings::RemoteKeyer,
     .through = "the keyer at %s", .failedAs = "Far keyer %s",
     .hint = "Is the keyer running there, and may this computer key it?",
     .paddles = ""},
};
// clang-format on

}  // namespace

std::span<const KeyerKind> KeyerKinds() {
  return kKinds;
}

const KeyerKind* KeyerKindNamed(const Text& name) {
  for (const KeyerKind& kind : kKinds)
    if (UpperCase(name) == UpperCase(kind.name)) return &kind;
  return nullptr;
}

const KeyerKind& LineKeyer() {
  return kKinds[0];
}

const char* KeyerNames() {
  static const std::string names = [] {
    std::string out;
    for (const KeyerKind& kind : kKinds) out += (out.empty() ? "" : "|") + std::string(kind.name);
    return out;
  }();
  return names.c_str();
}

Text KeyerWords(const char* words, const KeyerKind& kind, const EnvSettings& s) {
  Text out = words;
  if (const size_t at = out.find("%s"); at != Text::npos) out.replace(at, 2, s.*kind.where);
  return out;
}

Text RigModelNote(const Text& typed) {
  const std::string name = engine::RigModelName(std::atoi(typed.c_str()));
  return name.empty() ? Text("unknown model") : Utf8ToCp1252(name);
}

bool OneOf(const char* list, const Text& word) {
  const Text want = UpperCase(word);
  for (std::string_view rest = list; !rest.empty();) {
    const size_t bar = rest.find('|');
    if (UpperCase(Text(rest.substr(0, bar))) == want) return true;
    rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
  }
  return false;
}

}  // namespace orvex
