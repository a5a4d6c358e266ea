// The test WinKeyer as a program, for the window's test: prints the device
// to open, then keeps LOG up to date (each command as hex bytes after its
// time in ms, then "SENT <text>") until SIGTERM.
//   orvex-winkeyer-emulator LOG
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>

#include "support/winkeyer_emulator.h"

int main(int argc, char** argv) {
  static volatile std::sig_atomic_t end = 0;
  if (argc != 2) return 2;
  std::signal(SIGTERM, [](int) { end = 1; });
  orvex::test::WinKeyerEmulator emulator;
  std::printf("%s\n", emulator.Device().c_str());
  std::fflush(stdout);
  const std::string log = argv[1], next = log + ".new";
  for (; !end; ::usleep(20'000)) {
    std::ofstream out(next, std::ios::trunc);
    for (const auto& c : emulator.Commands()) {
      out << c.ms;
      for (unsigned char b : c.bytes)
        out << ' ' << "0123456789abcdef"[b >> 4] << "0123456789abcdef"[b & 15];
      out << '\n';
    }
    out << "SENT " << emulator.Now().sent << '\n';
    out.close();
    std::rename(next.c_str(), log.c_str());
  }
  return 0;
}
