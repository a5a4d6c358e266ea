// Orvex: a CW (Morse) sender for amateur-radio stations. ARCHITECTURE.md
// at the top of the source tree is the map: the layers, the threads and the
// path of a character from key press to key line.
#include "app/program.h"
#include "engine/system/guard.h"

int main(int argc, char** argv) {
  // Before any thread: the guard is a fork of this process.
  orvex::engine::guard::Start();
  orvex::Program program;
  return program.Main(argc, argv);
}
