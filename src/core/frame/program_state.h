// Program-wide state of the application frame: one instance for the whole
// run, owned by the composition root and passed to whoever needs it. The
// keying state lives in the send path (PortSetup).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/message_sink.h"
#include "core/config/env_file.h"
#include "core/config/env_settings.h"
#include "core/frame/menu_captions.h"

namespace orvex {

struct ProgramState {
  std::string ProgramDir;   // native path
  std::string CommandLine;  // the whole argument text: names the environment file
  std::string ShippedDir;   // the installed help, icon and texts
  std::string HelpFile;     // empty when there is no help file
  std::string IconFile;

  EnvSettings Env;
  int16_t CWPortCode = 0;
  MessageMenuCaptions Captions;
  std::unique_ptr<EnvironmentFile> EnvFile;  // set by Startup

  bool PacketOpen = false;
  bool ShutdownDone = false;
};

// The main window's title: " Orvex -", the speed in print form, " WPM".
Text PacketTitle(int16_t speed);

// Writes the settings to the environment file (when there is one); a
// failure is shown in its "Environment File" box. Once written, the message
// menu captions follow the messages that are not empty.
bool SaveSettings(ProgramState& state, MessageSink& sink);
// The environment file's problems, a box each.
void ShowEnvProblems(const std::vector<Result>& problems, MessageSink& sink);

}  // namespace orvex
