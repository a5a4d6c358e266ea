// The ways a station keys, one row each, as Hamlib keeps one capabilities
// record per backend: the name CWKeyer gives it, the port it needs, the key
// and PTT lines it can use, the speeds it takes, how it opens and how it is
// named when it fails. Everything that differs between kinds is here; a new
// kind is a keyer of the engine's (one file) and a row.
#pragma once

#include <span>

#include "base/text.h"
#include "core/config/env_settings.h"
#include "core/config/settings_table.h"
#include "engine/keyers/text_keyer.h"

namespace orvex {

enum class PortUse : uint8_t {
  Lines,   // the port's own lines, timed by the engine here
  Serial,  // a serial port of its own (a keyer chip on it)
  None,    // no port: elsewhere (the radio over CAT, another machine)
};

struct KeyerKind {
  const char* name;  // CWKeyer's value, as written
  PortUse port;
  const char* keyLines;          // the key lines it can use, "|" between ("DTR|RTS"); empty: none
  const char* pttLines;          // the PTT lines; empty: its own PTT
  Limits speed;                  // words per minute it takes
  engine::TextKeyerOpener open;  // null: the engine keys the port's lines
  // Where it is, for the operator: the setting that says so, and how it is
  // named when it cannot be opened ("Can't key through the keyer at %s")
  // and in the status bar once it failed ("Far keyer %s"); %s is where.
  Text EnvSettings::*where;
  const char* through;
  const char* failedAs;
  const char* hint;  // what to check when it cannot be opened
  // The paddle modes an operator's paddle keys through it with, "|"
  // between; empty: none (a paddle belongs on the radio's or the far
  // keyer's own input).
  const char* paddles;
};

std::span<const KeyerKind> KeyerKinds();
// The kind CWKeyer names (any case); null for a name no kind has.
const KeyerKind* KeyerKindNamed(const Text& name);
// The port's own lines: the default.
const KeyerKind& LineKeyer();
// The names, "|" between them, for CWKeyer's row of the settings table.
const char* KeyerNames();
// The kind's words with where it is put in: "the keyer at 10.7.0.2:6789".
Text KeyerWords(const char* words, const KeyerKind& kind, const EnvSettings& s);
// One of a "|" list (any case).
bool OneOf(const char* list, const Text& word);
// Hamlib's name for a typed rig model ("Elecraft K3"; "unknown model").
Text RigModelNote(const Text& typed);

}  // namespace orvex
