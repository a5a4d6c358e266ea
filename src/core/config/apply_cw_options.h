// Saving the CW Options: the checks, applying the settings, re-opening the
// keyer and writing the environment file. The dialog only collects the
// entries; this decides what they mean.
#pragma once

#include <array>

#include "base/message_sink.h"
#include "core/frame/program_state.h"
#include "core/sending/send_path.h"

namespace orvex {

// What the operator entered, as typed.
struct CWOptionsEntries {
  Text port;
  Text speed;
  Text tone;
  bool sidetone = true;
  int device = 1;  // 1 PC speaker, 3 sound card/MIDI, 4 sound card/wave
  std::array<Text, 8> messages;
};

// The entries the dialog opens with.
CWOptionsEntries EntriesFrom(const EnvSettings& settings);

// Checks the entries (the first failure shows its "Set CW Options" box),
// applies them, re-opens the keyer when the packet window is up and writes
// the environment file. False: the dialog stays open.
bool ApplyCWOptions(const CWOptionsEntries& entries, ProgramState& state, SendPath& send,
                    MessageSink& sink);

}  // namespace orvex
