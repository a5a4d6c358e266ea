// Orvex: a CW (Morse) sender for amateur-radio stations. ARCHITECTURE.md
// at the top of the source tree is the map: the layers, the threads and the
// path of a character from key press to key line.
#include <cstdio>
#include <cstring>

#include "app/program.h"
#include "base/version.h"
#include "core/frame/startup.h"
#include "engine/system/guard.h"

int main(int argc, char** argv) {
  // A word of help or the version needs no window, and no display.
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      std::fputs(orvex::kOrvexUsage, stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--version")) {
      std::printf("orvex %s\n", orvex::kProgramVersion);
      return 0;
    }
  }
  // Before any thread: the guard is a fork of this process.
  orvex::engine::guard::Start();
  orvex::Program program;
  return program.Main(argc, argv);
}
