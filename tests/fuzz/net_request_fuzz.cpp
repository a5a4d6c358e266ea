// Datagrams of the loggers' protocol into the NetKeyer on a simulated
// keyer: never a crash, and the queue never grows past its limit.
#include <cstdlib>

#include "core/net/net_keyer.h"
#include "support/send_harness.h"

namespace {
struct Quiet : orvex::NetReplies, orvex::NetControl {
  void Reply(const orvex::NetPeer&, std::string_view) override {}
  void Stop() override { path->Stop(); }
  void Tune(int seconds) override { path->Tune(seconds); }
  bool Exit() override { return false; }
  bool SetDevice(std::string_view) override { return false; }
  orvex::SendPath* path = nullptr;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvex;
  test::SendHarness h;
  Quiet quiet;
  quiet.path = &h.send;
  NetKeyer net({h.keyer, h.send.Port(), h.settings, quiet, quiet});
  h.send.Queue().SetKeyedSource(&net);
  // Each byte 0 ends a datagram.
  const std::string all(reinterpret_cast<const char*>(data), size);
  for (size_t from = 0; from <= all.size();) {
    const size_t end = std::min(all.find('\0', from), all.size());
    net.Handle(std::string_view(all).substr(from, end - from), NetPeer{});
    from = end + 1;
  }
  if (net.Waiting() > static_cast<size_t>(kQueueLimit)) std::abort();
  h.RunFor(2000);
  net.Poll();
  h.send.Queue().SetKeyedSource(nullptr);
  return 0;
}
