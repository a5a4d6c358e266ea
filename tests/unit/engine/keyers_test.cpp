// The keyers that time themselves, in real time against their stand-ins
// (generous waits: nothing here needs a quiet machine): the WinKeyer host
// against the emulator on a pseudo-terminal, the radio's keyer against a
// real rigctld with Hamlib's dummy radio (what rigctld was asked read from
// its debug log, PTT from another client, as a logger would), the far
// keyer against a socket, and the send path and the window's echo over a
// keyer whose device fails mid-text.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <mutex>
#include <regex>
#include <thread>

#include "core/config/port_name.h"
#include "core/frame/attention_boxes.h"
#include "core/frame/sent_echo.h"
#include "core/sending/deadline_timer.h"
#include "core/sending/engine_keyer.h"
#include "engine/keyers/remote_keyer.h"
#include "engine/keyers/rig_keyer.h"
#include "engine/keyers/winkeyer.h"
#include "engine/timing/outputs.h"
#include "support/files.h"
#include "support/send_harness.h"
#include "support/winkeyer_emulator.h"

namespace orvex::engine {
namespace {

using namespace std::chrono_literals;

using orvex::test::WinKeyerEmulator;

class WinKeyerHost : public ::testing::Test {
 protected:
  void Open(int wpm, WinKeyerEmulator::Options options = {}) {
    emu_ = std::make_unique<WinKeyerEmulator>(options);
    ASSERT_TRUE(keyer_.Open(emu_->Device(), {.wpm = wpm}).ok());
  }
  void SendText(std::string_view text) {
    for (char c : text) keyer_.Send(std::string(1, c), 0);
  }
  bool Until(const std::function<bool()>& holds, int ms = 5000) { return emu_->WaitFor(holds, ms); }
  bool Sending() {
    return Until([&] { return !emu_->Now().sent.empty(); });
  }
  std::unique_ptr<WinKeyerEmulator> emu_;
  WinKeyer keyer_;
};

TEST_F(WinKeyerHost, TextGoesAFewCharactersAheadAndNeverPastXoff) {
  Open(60, {.capacity = 3});  // one merged sign fills it to XOFF
  SendText("PARIS");
  for (int i = 0; i < 3; ++i) keyer_.Send("EC", 0);
  EXPECT_EQ(keyer_.Queued(), 8u);
  ASSERT_TRUE(Until([&] { return keyer_.Pending() == 0; }));
  EXPECT_EQ(emu_->Now().sent, "PARISECECEC");
  EXPECT_LE(emu_->Now().mostBuffered, WinKeyer::kAhead) << "a stop must find the rest here";
  EXPECT_EQ(emu_->Now().pastXoff, 0);
}

TEST_F(WinKeyerHost, ClearEmptiesTheKeyersBufferWithinTheCallAndEndsATune) {
  Open(20);
  SendText("CQ CQ CQ DE TEST");
  ASSERT_TRUE(Sending());
  keyer_.Clear();
  // The host may have handed a character over just before the clear; after
  // the clear nothing of the text may follow.
  ASSERT_TRUE(Until([&] { return emu_->Got("\x0a"); }));
  const auto commands = emu_->Commands();
  auto cleared = std::find_if(commands.begin(), commands.end(),
                              [](const auto& c) { return c.bytes == "\x0a"; });
  for (auto it = cleared; it != commands.end(); ++it)
    EXPECT_LT(static_cast<unsigned char>(it->bytes[0]), 0x20)
        << "text after the clear: " << it->bytes;
  EXPECT_EQ(keyer_.Pending(), 0);
  EXPECT_FALSE(Until([&] { return emu_->Now().sent.size() > 2; }, 500));
  keyer_.Tune(200);
  WinKeyerEmulator::Command down, up;
  ASSERT_TRUE(Until([&] { return emu_->Got(std::string("\x0b\x00", 2), &up); }));
  ASSERT_TRUE(emu_->Got("\x0b\x01", &down));
  EXPECT_GE(up.ms - down.ms, 150);  // the emulator may read the first late
  keyer_.Tune(5000);
  ASSERT_TRUE(Until([&] { return emu_->Now().keyDown; }));
  keyer_.Clear();
  EXPECT_TRUE(Until([&] { return !emu_->Now().keyDown; }, 500));
}

TEST_F(WinKeyerHost, AKeyerThatFallsSilentIsAFailure) {
  Open(99);
  emu_->GoSilent();
  SendText("PARIS");
  ASSERT_TRUE(Until([&] { return keyer_.Failure().failed(); }, 8000));
  EXPECT_EQ(keyer_.Failure().error(), ETIMEDOUT);
  EXPECT_EQ(keyer_.Failure().text(), "the WinKeyer stopped answering");
}

bool Within(int ms, const std::function<bool()>& holds) {
  for (int i = 0; i < ms / 20; ++i, std::this_thread::sleep_for(20ms))
    if (holds()) return true;
  return holds();
}

class RigKeyerTest : public ::testing::Test {
 protected:
  void SetUp() override { StartRigctld(); }
  void StartRigctld() {
    port_ = "127.0.0.1:" + std::to_string(orvex::test::FreePort(SOCK_STREAM));
    rigctld_ = fork();
    if (rigctld_ == 0) {
      freopen(log_.c_str(), "w", stderr);
      execlp("rigctld", "rigctld", "-m", "1", "-P", "RIG", "-T", "127.0.0.1", "-t",
             port_.substr(10).c_str(), "-vvvvv", nullptr);
      _exit(127);
    }
    ASSERT_TRUE(Within(5000, [&] {
      return RigLink::Open({.port = port_, .ownsPtt = true}, &link_).ok();
    })) << "rigctld (libhamlib-utils) did not start";
    keyer_ = std::make_unique<RigKeyer>(std::move(link_), true);
    keyer_->SetSpeed(60);  // 20 ms a unit: a letter is shorter than the radio is kept ahead
    keyer_->SetPttTiming(50, 100);
  }
  void TearDown() override {
    keyer_.reset();
    if (rigctld_ > 0) kill(rigctld_, SIGKILL), waitpid(rigctld_, nullptr, 0);
  }
  void Send(std::string_view text) {
    for (char c : text) keyer_->Send(std::string(1, c), c == ' ' ? 4 : 10);
  }
  // The text rigctld was given to send, piece after piece.
  std::string Sent(size_t* pieces = nullptr) {
    const std::string debug = orvex::test::ReadFile(log_);
    static const std::regex morse("rigctl\\(d\\): b 'currVFO' ' ?([^']*)'");
    std::string text;
    std::sregex_iterator it(debug.begin(), debug.end(), morse), end;
    if (pieces) *pieces = static_cast<size_t>(std::distance(it, end));
    for (; it != end; ++it) text += (*it)[1];
    return text;
  }
  bool PttOn() {  // asked of rigctld by a second client
    FILE* rigctl = popen(("rigctl -m 2 -r " + port_ + " t 2>/dev/null").c_str(), "r");
    char answer[16] = {};
    fgets(answer, sizeof answer, rigctl);
    pclose(rigctl);
    return answer[0] == '1';
  }
  bool Done() {
    return Within(10'000, [&] { return keyer_->Pending() == 0; });
  }

  orvex::test::TempDir dir_;
  std::string log_ = dir_.File("rigctld.log"), port_;
  pid_t rigctld_ = -1;
  std::unique_ptr<RigLink> link_;
  std::unique_ptr<RigKeyer> keyer_;
};

TEST_F(RigKeyerTest, TextGoesToTheRadioInPiecesWithPttByCatAroundIt) {
  Send("CQ TEST DE DL1ABC ");
  EXPECT_TRUE(Within(2000, [&] { return PttOn(); }));
  ASSERT_TRUE(Done());
  size_t pieces = 0;
  EXPECT_EQ(Sent(&pieces), "CQ TEST DE DL1ABC ");
  EXPECT_LE(pieces, 6u) << "handed a letter at a time, not words";
  EXPECT_TRUE(Within(2000, [&] { return !PttOn(); })) << "PTT left on after the tail";
  EXPECT_TRUE(orvex::test::Contains(orvex::test::ReadFile(log_), "KEYSPD")) << "speed never set";
}

TEST_F(RigKeyerTest, AStopLosesAtMostWhatTheRadioHoldsAndDropsPtt) {
  Send("PARIS PARIS PARIS PARIS PARIS PARIS PARIS PARIS ");
  ASSERT_TRUE(Within(2000, [&] { return !Sent().empty(); }));
  keyer_->Clear();
  EXPECT_EQ(keyer_->Pending(), 0);
  // The dummy radio cannot stop its keyer: what it holds is said.
  EXPECT_TRUE(Within(1000, [&] { return !keyer_->StillSending().empty(); }));
  std::this_thread::sleep_for(1000ms);
  EXPECT_LE(Sent().size(), 12u) << "handed over after the stop: " << Sent();
  EXPECT_TRUE(Within(2000, [&] { return !PttOn(); }));
}

TEST_F(RigKeyerTest, ARigctldThatDiesOrIsNotThereIsNamedWithTheCause) {
  Send("CQ CQ ");
  ASSERT_TRUE(Done());
  kill(rigctld_, SIGKILL);
  waitpid(rigctld_, nullptr, 0);
  rigctld_ = -1;
  Send("CQ CQ ");
  ASSERT_TRUE(Within(5000, [&] { return keyer_->Failure().failed(); }));
  EXPECT_TRUE(orvex::test::Contains(keyer_->Failure().text(), "NET rigctl (" + port_ + "): "))
      << keyer_->Failure().text();
  EXPECT_EQ(keyer_->Pending(), 0) << "text still waiting for a radio that is gone";
  std::unique_ptr<RigLink> none;
  const Result refused = RigLink::Open({.port = port_, .answerMs = 3000}, &none);
  EXPECT_TRUE(refused.failed());
  EXPECT_TRUE(orvex::test::Contains(refused.text(), "NET rigctl (" + port_ + "): "))
      << refused.text();
}

// With PTT by CAT the lamp shows the radio's PTT as read back, whoever
// switched it, and Esc sends PTT off whatever the link believes it to be.
TEST_F(RigKeyerTest, TheLampReadsTheRadiosPttAndEscAlwaysSwitchesItOff) {
  EXPECT_TRUE(Within(2000, [&] { return keyer_->RadioPtt() == false; }));
  ASSERT_EQ(std::system(("rigctl -m 2 -r " + port_ + " T 1").c_str()), 0);
  EXPECT_TRUE(Within(2000, [&] { return keyer_->RadioPtt() == true; })) << "not read back";
  keyer_->Clear();
  EXPECT_TRUE(Within(1000, [&] { return !PttOn(); })) << "Esc left the radio transmitting";
}

}  // namespace
}  // namespace orvex::engine

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
