// A keyer on another machine, its far end a socket of the test's own: what
// the far end is told while it keys for us, and when we are done.
#include "engine/keyers/remote_keyer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <thread>

#include "base/clock.h"

namespace orvex::engine {
namespace {

using namespace std::chrono_literals;

struct Heard {
  std::string request;
  int64_t ms;  // since the start
};

// A hold forwarded here ends here at this side's own limit (the far end's
// may be longer), the far end hears from us at least once a second while
// it holds PTT for us, and is told when we are done.
TEST(RemoteKeyerTest, KeepsTellingTheFarEndAndEndsAHoldAtItsOwnLimit) {
  const int far = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof at;
  ASSERT_EQ(bind(far, reinterpret_cast<sockaddr*>(&at), len), 0);
  getsockname(far, reinterpret_cast<sockaddr*>(&at), &len);
  std::unique_ptr<RemoteKeyer> keyer;
  ASSERT_TRUE(RemoteKeyer::Open(reinterpret_cast<sockaddr*>(&at), len, "far", &keyer).ok());
  const int64_t start = MonotonicNs() / 1'000'000;
  keyer->HoldPtt(true, 1500);
  std::vector<Heard> heard;
  while (MonotonicNs() / 1'000'000 - start < 2500) {
    keyer->Pending();  // the send path looks every tick
    pollfd in{far, POLLIN, 0};
    char buf[64];
    if (poll(&in, 1, 50) == 1) {
      const ssize_t n = recv(far, buf, sizeof buf, 0);
      const std::string request(buf + 1, static_cast<size_t>(n - 1));
      if (request != "s")  // the open's probe: no orvex-keyd here
        heard.push_back({request, MonotonicNs() / 1'000'000 - start});
    }
  }
  ASSERT_GE(heard.size(), 4u);
  EXPECT_EQ(heard.front().request, "a1");
  EXPECT_EQ(heard[1].request, "k") << "not told to watch us";
  int64_t last = 0;
  size_t dropped = heard.size();
  for (size_t i = 0; i < heard.size(); ++i) {
    if (heard[i].request == "a0") dropped = i;
    if (dropped == heard.size()) {
      EXPECT_LT(heard[i].ms - last, 1000) << "silent too long";
    }
    last = heard[i].ms;
  }
  ASSERT_LT(dropped, heard.size()) << "the hold was never ended";
  EXPECT_NEAR(static_cast<double>(heard[dropped].ms), 1500, 120);
  EXPECT_EQ(heard.back().request, "k0") << "the far end was not told we are done";
  EXPECT_EQ(keyer->HoldsDropped(), 1u);
  keyer.reset();
  close(far);
}

}  // namespace
}  // namespace orvex::engine
