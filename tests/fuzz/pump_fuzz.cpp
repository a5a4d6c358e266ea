// The send queue's pump on a simulated keyer, fed text as messages, file
// lines and typing: never a crash, and a stop always leaves it idle.
#include <cstdlib>

#include "support/send_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvex;
  test::SendHarness h;
  const Text text(reinterpret_cast<const char*>(data), size);
  h.send.Queue().QueueCW(text, 3);
  h.send.Queue().QueueCW(text.substr(0, size / 2), 2);
  h.typed.line = text.substr(size / 2);
  h.RunFor(20'000);  // twenty simulated seconds; pauses and repeats included
  h.send.Stop();
  if (h.send.Queue().PendingText() != 0 || !h.typed.Empty()) std::abort();
  return 0;
}
