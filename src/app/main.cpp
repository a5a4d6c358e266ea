// Orvex: a CW (Morse) sender for amateur-radio stations. ARCHITECTURE.md
// at the top of the source tree is the map: the layers, the threads and the
// path of a character from key press to key line.
#include <cstdio>
#include <string>
#include <vector>

#include "app/program.h"
#include "core/frame/startup.h"
#include "engine/system/guard.h"

int main(int argc, char** argv) {
  // A word of help or the version needs no window, and no display.
  // (Qt's own options come out only once it starts: the window answers
  // these then, and refuses what it does not know.)
  const std::string answer =
      orvex::CommandLineAnswer(orvex::ReadCommandLine({argv + 1, argv + argc}));
  if (!answer.empty()) {
    std::fputs(answer.c_str(), stdout);
    return 0;
  }
  // Before any thread: the guard is a fork of this process.
  orvex::engine::guard::Start();
  orvex::Program program;
  return program.Main(argc, argv);
}
