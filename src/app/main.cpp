// Orvex: a CW (Morse) sender for amateur-radio stations.
//
// Design map:
//   src/app/     program frame: state, start-up, shut-down, message boxes
//   src/config/  settings record and the environment file (orvex.ini)
//   src/keyer/   the keying engine (plain C++, no Qt)
//   src/keying/  Morse tables, port set-up, send queue
//   src/macros/  message macros and time texts
//   src/packet/  the packet window
//   src/dialogs/ prompt, file chooser, viewer, help, About
// Windows call the core; the core never includes a widget header.
#include "app/program.h"

int main(int argc, char** argv) {
  orvex::Program program;
  return program.Main(argc, argv);
}
