// The send path on a simulated keyer: the input's first part queued as a
// message, a file line and typing (queue codes and all), the rest as
// datagrams of the loggers' protocol (a 0 byte ends each). Never a crash,
// never a queue past its limit, and a stop always leaves everything idle.
#include <cstdlib>

#include "core/net/net_keyer.h"
#include "support/send_harness.h"

namespace {
struct Quiet : orvex::NetReplies, orvex::NetControl {
  void Reply(const orvex::NetPeer&, std::string_view) override {}
  bool Exit() override { return false; }
  bool SetDevice(std::string_view) override { return false; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvex;
  test::SendHarness h;
  Quiet quiet;
  NetKeyer net({h.keyer, h.send, quiet, quiet, h.attention});
  h.send.SetKeyedSource(&net);
  const std::string all(reinterpret_cast<const char*>(data), size);
  const size_t split = std::min(all.find('\0'), all.size());
  const Text text = all.substr(0, split);
  h.send.Queue().QueueCW(text, Slot::Message);
  h.send.Queue().QueueCW(text.substr(0, text.size() / 2), Slot::File);
  h.typed.line = text.substr(text.size() / 2);
  for (size_t from = split + 1; from <= all.size();) {
    const size_t end = std::min(all.find('\0', from), all.size());
    net.Handle(std::string_view(all).substr(from, end - from), NetPeer{});
    from = end + 1;
  }
  if (net.Waiting() > static_cast<size_t>(kQueueLimit)) std::abort();
  h.RunFor(20'000);  // twenty simulated seconds; pauses and repeats included
  net.Poll();
  h.send.Stop();
  if (h.send.Queue().PendingText() != 0 || !h.typed.Empty()) std::abort();
  h.send.SetKeyedSource(nullptr);
  return 0;
}
