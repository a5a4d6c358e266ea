// Start-up: finding the program directory, the start-up window, reading the
// environment file and the new-version notice.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/message_sink.h"
#include "base/program_paths.h"
#include "core/frame/program_state.h"

namespace orvex {

// What start-up needs from the process.
struct StartupEnvironment {
  ProcessPlaces Places;
  std::string CommandLine;
  std::string ShippedDir;  // where the installed help, icon and texts are
};

// What the command line asks: the window with an environment file (the
// arguments' text, joined with blanks as typed: "" for orvex.ini), a word
// of help or the version, or nothing at all (an option Orvex does not
// know: problem says which, rather than a settings file of that name).
// "--" ends the options: a file named "-x.ini" follows it.
struct CommandLineAsk {
  enum class What : uint8_t { Run, Help, Version, Refused } what = What::Run;
  std::string file;
  std::string problem;
};
CommandLineAsk ReadCommandLine(const std::vector<std::string>& args);
// What --help or --version prints; empty for any other ask.
std::string CommandLineAnswer(const CommandLineAsk& ask);
// The help --help prints.
extern const char* const kOrvexUsage;

// The start-up window, as far as start-up drives it; it lets events run
// while the environment file is read, so the window paints.
class StartupUi : public EventYield {
 public:
  // Shows the window titled title, with the icon file when it loads; a
  // window that cannot be shown ends the start-up.
  virtual Result ShowStartForm(const Text& title, const std::string& iconPath) = 0;
  virtual void CloseStartForm() = 0;
};

// Runs start-up. A failing step shows "Problems during start up." in an
// "Orvex Startup" box and returns false; nothing has been written then.
// The environment file's own problems are shown as it is read and do not
// end the start-up.
bool Startup(ProgramState& state, const StartupEnvironment& env, StartupUi& ui, MessageSink& sink);

// The About box, then Version set to this program's and the file rewritten.
void NewVersionNotice(ProgramState& state, MessageSink& sink);

}  // namespace orvex
