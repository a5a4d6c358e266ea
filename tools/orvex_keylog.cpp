// orvex-keylog: turns the keyer's key log (ORVEX_KEYER_LOG) back into text,
// the way a listener would: key-downs of one unit are dots, of three units
// dashes; gaps of three units end a character, of five or more a word. It
// answers "what did my transmitter send?", and the end-to-end tests use it.
//
//   orvex-keylog LOG [--unit-ms N]      the text (unit: the shortest key-down)
//   orvex-keylog LOG --downs            each key-down's length in ms
//   --as-planned: each change the keyer counted late (a LATE line: the
//   machine held its timing thread) is put back where it was planned, and
//   the run after it with it: what the program keyed, less what the
//   machine did to it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/version.h"
#include "core/sending/morse_table.h"

namespace {

struct Element {
  long long down, up;  // microseconds
};

}  // namespace

constexpr const char* kUsage =
    "usage: orvex-keylog LOG [--unit-ms N | --downs] [--as-planned]\n"
    "       orvex-keylog --help | --version\n"
    "Reads a key log written with ORVEX_KEYER_LOG=LOG and prints what was keyed.\n"
    "\n"
    "Options:\n"
    "  --unit-ms N  the dot length in ms (default: the shortest key-down)\n"
    "  --downs      each key-down's length in ms, one per line\n"
    "  --as-planned each change the keyer counted late (a LATE line) where it was\n"
    "               planned, and what followed with it\n"
    "  --help       print this and exit\n"
    "  --version    print the version and exit\n";

int main(int argc, char** argv) {
  if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc >= 2 && !std::strcmp(argv[1], "--version")) {
    std::printf("orvex-keylog %s\n", orvex::kProgramVersion);
    return 0;
  }
  // The options and the log in any order.
  double unitUs = 0;
  bool downs = false, asPlanned = false;
  const char* log = nullptr;
  bool usage = false;
  for (int i = 1; i < argc && !usage; ++i) {
    if (!std::strcmp(argv[i], "--unit-ms") && i + 1 < argc)
      unitUs = std::atof(argv[++i]) * 1000;
    else if (!std::strcmp(argv[i], "--downs"))
      downs = true;
    else if (!std::strcmp(argv[i], "--as-planned"))
      asPlanned = true;
    else if (argv[i][0] != '-' && !log)
      log = argv[i];
    else
      usage = true;
  }
  if (usage || !log || unitUs < 0) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::ifstream in(log);
  std::vector<Element> elements;
  std::string line;
  long long downAt = -1, late = 0;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    long long us;
    std::string a, b;
    if (!(words >> us >> a >> b)) continue;
    if (a == "LATE" && asPlanned) late += std::atoll(b.c_str());
    if (a != "KEY") continue;
    us -= late;
    if (b == "DOWN") downAt = us;
    if (b == "UP" && downAt >= 0) {
      elements.push_back({downAt, us});
      downAt = -1;
    }
  }
  if (downs) {
    for (const Element& e : elements) std::printf("%.1f\n", (e.up - e.down) / 1000.0);
    return 0;
  }
  if (elements.empty()) return 0;
  if (unitUs <= 0) {
    unitUs = 1e18;
    for (const Element& e : elements) unitUs = std::min(unitUs, double(e.up - e.down));
  }
  std::string text, code;
  auto flush = [&] {
    if (code.empty()) return;
    const unsigned char c = orvex::MorseCharacter(code);
    text += c ? orvex::Cp1252ToUtf8(std::string(1, static_cast<char>(c))) : "*";
    code.clear();
  };
  for (size_t i = 0; i < elements.size(); ++i) {
    if (i > 0) {
      const double gap = (elements[i].down - elements[i - 1].up) / unitUs;
      if (gap >= 2) flush();
      if (gap >= 5) text += ' ';
    }
    code += (elements[i].up - elements[i].down) / unitUs < 2 ? '.' : '-';
  }
  flush();
  std::printf("%s\n", text.c_str());
  return 0;
}
