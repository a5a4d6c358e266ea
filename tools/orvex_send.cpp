// orvex-send: Orvex's command-line sender. It drives the same core as the
// program, so every behaviour of the settings (and later the send path) can
// be exercised without a display.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <unistd.h>

#include "app/program_paths.h"
#include "app/stderr_message_sink.h"
#include "config/env_file.h"

namespace {

constexpr const char* kUsage =
    "usage: orvex-send [--ini FILE] --print-ini\n"
    "  --ini FILE    the environment file (default: orvex.ini in the program directory)\n"
    "  --print-ini   print the environment file as Orvex would rewrite it\n";

int Usage(const char* problem) {
  std::fprintf(stderr, "orvex-send: %s\n%s", problem, kUsage);
  return 2;
}

std::string ProgramDir() {
  auto env = [](const char* name) -> std::optional<std::string> {
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
  };
  char cwd[4096];
  return orvex::FindProgramDir(env("PELORIN"), env("PELO"), getcwd(cwd, sizeof cwd) ? cwd : "");
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<std::string> ini;
  bool printIni = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--ini") {
      if (i + 1 >= argc) return Usage("--ini needs a file name");
      ini = argv[++i];
    } else if (arg == "--print-ini") {
      printIni = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      return Usage(("unknown argument '" + arg + "'").c_str());
    }
  }
  if (!printIni) return Usage("nothing to do");

  const std::string path = ini ? *ini : orvex::EnvironmentFilePath("", ProgramDir());
  orvex::StderrMessageSink sink;
  orvex::MessageMenuCaptions captions;
  orvex::EnvironmentFile file(path, sink, captions);
  orvex::EnvSettings settings;
  int16_t portCode = 0;
  file.ReadEnvironmentFile(settings, portCode);
  const std::string out = file.EncodedContents(settings);
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
