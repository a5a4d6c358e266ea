// Keyers that time themselves, in real time. The send path and the
// window's echo over such a keyer whose device fails mid-text (the WinKeyer
// emulator pulled out; a far end that answers "break"): what was typed and not yet taken waits in
// the line, the echo shows as sent only what the device said it sent, the status says what failed,
// and once the device is back what waited is keyed.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <mutex>
#include <thread>

#include "core/config/port_name.h"
#include "core/frame/attention_boxes.h"
#include "core/frame/sent_echo.h"
#include "core/sending/deadline_timer.h"
#include "core/sending/engine_keyer.h"
#include "engine/keyers/remote_keyer.h"
#include "engine/timing/outputs.h"
#include "support/recording_sink.h"
#include "support/send_harness.h"
#include "support/winkeyer_emulator.h"

namespace orvex {
namespace {

using namespace std::chrono_literals;

// A far keyer of the test's own: it answers the probe and each numbered
// character at once, until told to answer "break".
struct FarEnd {
  FarEnd() {
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof at;
    bind(fd, reinterpret_cast<sockaddr*>(&at), len);
    getsockname(fd, reinterpret_cast<sockaddr*>(&at), &len);
    thread = std::thread([this] {
      char buf[128];
      sockaddr_in from{};
      for (socklen_t len = sizeof from; !stop; len = sizeof from) {
        pollfd in{fd, POLLIN, 0};
        if (poll(&in, 1, 20) != 1) continue;
        const ssize_t n =
            recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        const std::string request(buf, static_cast<size_t>(std::max<ssize_t>(n, 0)));
        if (request.rfind("\x1bs", 0) != 0) continue;
        const size_t blank = request.find(' ');
        std::string reply = "s" + request.substr(2, blank - 2) + "\r\n";
        if (blank != std::string::npos) {
          if (broken) {
            reply = "break\r\n";
          } else {
            std::lock_guard lock(mu);
            sent += request.substr(blank + 1);
          }
        }
        sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
      }
    });
  }
  ~FarEnd() {
    stop = true;
    thread.join();
    close(fd);
  }
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in at{};
  std::atomic<bool> stop{false}, broken{false};
  std::string Sent() {
    std::lock_guard lock(mu);
    return sent;
  }
  std::mutex mu;
  std::string sent;  // by its thread, under mu
  std::thread thread;
};

class KeyerFailure : public ::testing::TestWithParam<const char*> {
 protected:
  KeyerFailure() {
    settings.CWSpeed = 60;
    settings.CWSidetone_Enable = 0;
    send.SetTypeAhead(&typed);
    send.InitCW();
    send.SetKeyboardCW(true);
    echo.Watch(&send.Queue());
  }
  // Ticks in real time until holds, as the window's loop does.
  bool Run(const std::function<bool()>& holds, int ms = 5000) {
    for (int i = 0; i < ms / 10 && !holds(); ++i) {
      std::this_thread::sleep_for(10ms);
      timer.Poll();
      send.Tick();
      echo.Update();
    }
    return holds();
  }
  std::string Echoed(SentEcho::State state) {
    std::string out;
    for (const SentEcho::Char& c : echo.Chars())
      if (c.state == state) out += static_cast<char>(c.c);
    return out;
  }

  EnvSettings settings;
  engine::KeyerEngine engine{engine::SystemOutputs()};
  EngineKeyer keyer{engine};
  SystemClock clock;
  DeadlineTimer timer{clock};
  test::CountingBeeper beeper;
  test::RecordingSink sink;
  AttentionBoxes attention{sink};
  SentEcho echo{keyer};
  SendPath send{{keyer, settings, clock, timer, beeper, attention, "/", &echo}};
  test::FakeTypeAhead typed;
};

TEST_P(KeyerFailure, TypedTextWaitsTheEchoShowsOnlyWhatWentAndTheRetryKeysTheRest) {
  const std::string kind = GetParam();
  auto winKeyer = std::make_unique<test::WinKeyerEmulator>();
  FarEnd far;
  settings.CWKeyer = kind.c_str();
  settings.CWPort = winKeyer->Device();
  settings.RemoteKeyer = "127.0.0.1:" + std::to_string(ntohs(far.at.sin_port));
  int16_t code = 0;
  (void)ParseCWPort(settings.CWPort, &code);
  ASSERT_TRUE(send.OpenCWPort(kind == "Remote" ? 0 : code).ok());
  typed.line = "CQ CQ DE TEST TEST K";
  send.Typed();
  auto sent = [&] { return kind == "Remote" ? far.Sent() : winKeyer->Now().sent; };
  ASSERT_TRUE(Run([&] { return sent().size() >= 4; }));
  if (kind == "Remote")
    far.broken = true;
  else
    winKeyer->Unplug();
  ASSERT_TRUE(Run([&] { return send.PortFailed(); }));
  const std::string went = sent();
  EXPECT_EQ(Echoed(SentEcho::State::Sent), went);
  EXPECT_FALSE(typed.line.empty()) << "the typing was swallowed";
  EXPECT_EQ(went + Echoed(SentEcho::State::Dropped) + typed.line, "CQ CQ DE TEST TEST K");
  EXPECT_EQ(
      send.PortStatusText().rfind(kind == "Remote" ? "Far keyer 127.0.0.1:" : "WinKeyer on ", 0),
      0u)
      << send.PortStatusText();
  // Back again: what waited in the line goes.
  winKeyer = std::make_unique<test::WinKeyerEmulator>();
  settings.CWPort = winKeyer->Device();
  (void)ParseCWPort(settings.CWPort, &code);
  far.broken = false;
  ASSERT_TRUE(send.RetryPort(kind == "Remote" ? 0 : code));
  const std::string rest = typed.line;
  EXPECT_TRUE(Run([&] { return Echoed(SentEcho::State::Sent).ends_with(rest); }))
      << Echoed(SentEcho::State::Sent);
}

INSTANTIATE_TEST_SUITE_P(Keyers, KeyerFailure, ::testing::Values("WinKeyer", "Remote"));

// The far keyer against a socket of the test's own: what the far end is
// told while it keys for us, and when we are done.
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
  std::unique_ptr<engine::RemoteKeyer> keyer;
  ASSERT_TRUE(engine::RemoteKeyer::Open(reinterpret_cast<sockaddr*>(&at), len, "far", &keyer).ok());
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
  EXPECT_EQ(heard[0].request + heard[1].request, "a1k") << "not told to watch us";
  size_t dropped = 1;
  while (dropped < heard.size() && heard[dropped].request != "a0") {
    EXPECT_LT(heard[dropped].ms - heard[dropped - 1].ms, 1000) << "silent too long";
    ++dropped;
  }
  ASSERT_LT(dropped, heard.size()) << "the hold was never ended";
  EXPECT_NEAR(static_cast<double>(heard[dropped].ms), 1500, 120);
  EXPECT_EQ(heard.back().request, "k0") << "the far end was not told we are done";
  keyer.reset();
  close(far);
}

}  // namespace
}  // namespace orvex
