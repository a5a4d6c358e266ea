// Saving the CW Options: the checks, applying the settings, re-opening the
// keyer and writing the environment file. The dialog only collects the
// entries; this decides what they mean, through the settings table.
#pragma once

#include <array>
#include <map>
#include <string>

#include "base/message_sink.h"
#include "core/config/settings_table.h"
#include "core/frame/program_state.h"
#include "core/sending/send_path.h"

namespace orvex {

// What the operator entered, as typed, by the key of the setting it is for
// ("CWPort", "CWSpeed", ...): a check box as "1" or "0", a choice of
// buttons as the number it stores. Messages 1 to 8 as typed.
struct CWOptionsEntries {
  std::map<std::string, Text> typed;
  std::array<Text, 8> messages;
};

// The entries the dialog opens with: the settings of every row with a tab
// as they are (an unknown sidetone device as the first of its buttons,
// which the dialog shows).
CWOptionsEntries EntriesFrom(const EnvSettings& settings);
// The caption of an Options row's button for value; null for none.
const char* OptionOf(const Setting& row, const Text& value);
// Whether a row's field means anything with the keyer the entries choose
// (the key line for the port's lines, the rig's fields for the radio's
// keyer or PTT by CAT, the far keyer's address for a far keyer): the
// dialog disables the rest.
bool InUse(const Setting& row, const CWOptionsEntries& entries);

// Checks the entries in the order the settings are written (the first
// failure shows its "Set CW Options" box), applies them, re-opens the
// keyer when the packet window is up and writes the environment file.
// False: the dialog stays open.
bool ApplyCWOptions(const CWOptionsEntries& entries, ProgramState& state, SendPath& send,
                    MessageSink& sink);

// One opening of the CW Options dialog. Save applies the entries; Cancel
// after a Save the port refused puts everything back as it was when the
// dialog opened: the settings, the speed and the open port.
class CWOptionsSession {
 public:
  CWOptionsSession(ProgramState& state, SendPath& send, MessageSink& sink);
  CWOptionsEntries Entries() const { return EntriesFrom(settings_); }
  bool Save(const CWOptionsEntries& entries);
  void Cancel();

 private:
  ProgramState& state_;
  SendPath& send_;
  MessageSink& sink_;
  const EnvSettings settings_;
  const int16_t portCode_;
  const int16_t speed_;
  const bool portOpen_;
  bool saved_ = false;
};

}  // namespace orvex
