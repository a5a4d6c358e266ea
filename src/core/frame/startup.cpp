#include "core/frame/startup.h"

#include <exception>

#include "base/program_paths.h"
#include "core/frame/about.h"

namespace orvex {

Text PacketTitle(int16_t speed) {
  return " Orvex -" + SignedDigits(speed) + " WPM";
}

void NewVersionNotice(ProgramState& state, MessageSink& sink) {
  ShowAbout(sink);
  state.Env.Version = kProgramVersion;
  state.EnvFile->WriteEnvironmentFile(state.Env);
}

bool Startup(ProgramState& state, const StartupEnvironment& env, StartupUi& ui, MessageSink& sink) {
  try {
    state.ProgramDir = FindProgramDir(env.Places, EnvironmentFileName(env.CommandLine));
    // The user's own directory is made on first use; any other is the
    // operator's to provide (a missing one is reported when read).
    if (state.ProgramDir == UserConfigDir(env.Places)) MakeDirectories(state.ProgramDir);
    state.CommandLine = env.CommandLine;
    state.ShippedDir = env.ShippedDir;
    state.HelpFile = ShippedFilePath("pelo.hlp", state.ProgramDir, state.ShippedDir);
    state.IconFile = ShippedFilePath("pelo.ico", state.ProgramDir, state.ShippedDir);
    ui.ShowStartForm(Text(" Orvex ") + kProgramVersion, state.IconFile);

    state.EnvFile = std::make_unique<EnvironmentFile>(
        EnvironmentFilePath(state.CommandLine, state.ProgramDir), sink, state.Captions);
    state.EnvFile->ReadEnvironmentFile(state.Env, state.CWPortCode, &ui);
    ui.CloseStartForm();

    if (state.Env.Version != kProgramVersion) NewVersionNotice(state, sink);
    return true;
  } catch (const std::exception& e) {
    ui.CloseStartForm();
    sink.Warning("Orvex Startup",
                 "Problems during start up." + Text(CRLF) + Utf8ToCp1252(e.what()) + ".");
    return false;
  }
}

}  // namespace orvex
