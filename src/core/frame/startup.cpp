#include "core/frame/startup.h"

#include "base/program_paths.h"
#include "base/version.h"
#include "core/frame/about.h"

namespace orvex {

void NewVersionNotice(ProgramState& state, MessageSink& sink) {
  ShowAbout(sink);
  state.Env.Version = kProgramVersion;
  SaveSettings(state, sink);
}

const char* const kOrvexUsage =
    "usage: orvex [FILE]\n"
    "       orvex --help | --version\n"
    "  FILE       the environment file (default: orvex.ini in the program directory:\n"
    "             $PELORIN, $PELO, the current directory when it holds orvex.ini, else\n"
    "             ~/.config/orvex); a name starting with - follows --\n"
    "  --help     print this and exit\n"
    "  --version  print the version and exit\n";

CommandLineAsk ReadCommandLine(const std::vector<std::string>& args) {
  CommandLineAsk ask;
  bool options = true;
  for (const std::string& arg : args) {
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--help" || arg == "-h")) {
      return {CommandLineAsk::What::Help, {}, {}};
    } else if (options && arg == "--version") {
      return {CommandLineAsk::What::Version, {}, {}};
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      return {CommandLineAsk::What::Refused, {}, "unknown option '" + arg + "'"};
    } else {
      ask.file += (ask.file.empty() ? "" : " ") + arg;
    }
  }
  return ask;
}

std::string CommandLineAnswer(const CommandLineAsk& ask) {
  if (ask.what == CommandLineAsk::What::Help) return kOrvexUsage;
  if (ask.what == CommandLineAsk::What::Version)
    return std::string("orvex ") + kProgramVersion + "\n";
  return {};
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
