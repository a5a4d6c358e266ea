// Macro expansion in both modes: never a crash, never a runaway text.
#include <cstdlib>

#include "base/clock.h"
#include "core/macros/expand_macros.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvex;
  const Text input(reinterpret_cast<const char*>(data), size);
  // The input also stands in for each stored message, so #MSG nests.
  std::array<Text, 8> messages;
  messages.fill(input);
  ManualClock clock(CalendarTime{2026, 3, 15, 14, 35, 7});
  const Text him = "G4XYZ", me = "DL1ABC", nr = "001";
  for (bool full : {true, false}) {
    const Text out = ExpandMacros(input, full, {messages, him, me, clock, nr});
    if (out.size() > input.size() + 50 * 2000) std::abort();
  }
  return 0;
}
