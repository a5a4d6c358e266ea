#include "core/frame/startup.h"

#include "base/program_paths.h"
#include "core/frame/about.h"

namespace orvex {

void NewVersionNotice(ProgramState& state, MessageSink& sink) {
  ShowAbout(sink);
  state.Env.Version = kProgramVersion;
  SaveSettings(state, sink);
}

bool Startup(ProgramState& state, const StartupEnvironment& env, StartupUi& ui, MessageSink& sink) {
  state.ProgramDir = FindProgramDir(env.Places, EnvironmentFileName(env.CommandLine));
  // The user's own directory is made on first use; any other is the
  // operator's to provide (a missing one is reported when read).
  if (state.ProgramDir == UserConfigDir(env.Places)) MakeDirectories(state.ProgramDir);
  state.CommandLine = env.CommandLine;
  state.ShippedDir = env.ShippedDir;
  state.HelpFile = ShippedFilePath("pelo.hlp", state.ProgramDir, state.ShippedDir);
  state.IconFile = ShippedFilePath("pelo.ico", state.ProgramDir, state.ShippedDir);
  if (const Result shown = ui.ShowStartForm(Text(" Orvex ") + kProgramVersion, state.IconFile);
      !shown.ok()) {
    sink.Warning("Orvex Startup",
                 "Problems during start up." + Text(CRLF) + shown.Description() + ".");
    return false;
  }

  state.EnvFile =
      std::make_unique<EnvironmentFile>(EnvironmentFilePath(state.CommandLine, state.ProgramDir));
  EnvRead read = state.EnvFile->ReadEnvironmentFile(&ui);
  ui.CloseStartForm();
  state.Env = read.settings;
  state.CWPortCode = read.portCode;
  ShowEnvProblems(read.problems, sink);
  for (int n = 1; n <= 8; ++n)
    if (!state.Env.Message(n).empty())
      state.Captions.SetMessageMenuCaption(n, state.Env.Message(n));

  if (state.Env.Version != kProgramVersion) NewVersionNotice(state, sink);
  return true;
}

}  // namespace orvex
