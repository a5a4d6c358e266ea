// The loggers' keying protocol in-process, on the simulated clock: the
// requests of Tlf and CQRLOG keyed as a listener hears them, speed changes
// and weighting to the millisecond, replies as their text ends, abort and
// reset, PTT and tune as the keyer is asked for them.
#include "core/net/net_keyer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "core/config/net_address.h"
#include "core/frame/sent_echo.h"
#include "support/files.h"
#include "support/send_harness.h"

namespace orvex {
namespace {

std::string Esc(const std::string& command) {
  return "\x1b" + command;
}

struct Reply {
  std::string text;
  int64_t ms;  // when it went, on the simulated clock
};

class NetKeying : public ::testing::Test,
                  public test::SendHarness,
                  public NetReplies,
                  public NetControl {
 protected:
  NetKeying() {
    settings.CWSpeed = 30;
    settings.CWPort = "COM1";
    send.SetKeyedSource(&net);
    (void)send.OpenCWPort(1);
  }
  ~NetKeying() override { send.SetKeyedSource(nullptr); }
  void Reply(const NetPeer&, std::string_view bytes) override {
    replies.push_back({std::string(bytes), clock.MonotonicMs()});
  }
  bool Exit() override { return false; }
  bool SetDevice(std::string_view) override { return false; }

  // One datagram, as the service hands it on.
  void Request(const std::string& datagram) {
    net.Handle(datagram, NetPeer{});
    send.Pump();
  }
  // ms of the service loop: a wake each millisecond, the tick every 100.
  void Run(int ms) {
    for (int t = 0; t < ms; ++t) {
      clock.Advance(1);
      timer.Poll();
      if (clock.MonotonicMs() % 100 == 0) send.Tick();
      if (net.Waiting() > 0) send.Pump();
      net.Poll();
    }
  }
  // What was keyed, as a listener hears it.
  std::string Heard() const {
    std::vector<std::pair<int64_t, int64_t>> downs;  // start, end
    int64_t at = 0;
    for (const engine::KeyElement& e : keyer.Timeline()) {
      if (e.down) downs.push_back({at / 1000, (at + e.units) / 1000});
      at += e.units;  // us
    }
    return test::Heard(downs);
  }
  // Each key-down's and each gap's length in whole ms, in order.
  std::vector<int> Lengths(bool down) const {
    std::vector<int> out;
    bool keyed = false;
    for (const engine::KeyElement& e : keyer.Timeline()) {
      keyed = keyed || e.down;
      if (keyed && e.down == down) out.push_back((e.units + 500) / 1000);
    }
    return out;
  }
  int64_t LastKeyUp() const {
    int64_t at = 0, up = 0;
    for (const engine::KeyElement& e : keyer.Timeline()) {
      at += e.units;
      if (e.down) up = at;
    }
    return up / 1000;
  }

  std::vector<struct Reply> replies;
  NetKeyer net{{keyer, send, *this, *this, attention}};
};

struct Exchange {
  const char* name;
  std::vector<std::string> requests;
  std::string heard;
};

class NetExchange : public NetKeying, public ::testing::WithParamInterface<Exchange> {};

TEST_P(NetExchange, KeysWhatTheLoggerSent) {
  for (const std::string& request : GetParam().requests) {
    Request(request);
    Run(5);  // datagrams from a logger come one by one
  }
  Run(20000);
  EXPECT_EQ(Heard(), GetParam().heard);
}

INSTANTIATE_TEST_SUITE_P(
    Loggers, NetExchange,
    ::testing::Values(
        // Tlf's start-up, then an exchange with speed changes inside it.
        Exchange{
            "Tlf",
            {Esc("0"), Esc("3600"), Esc("g70"), Esc("2 28"), Esc("70"), Esc("d0"), "++5NN--\r\n"},
            "..... -. -."},
        // CQRLOG: one character a datagram, speed commands between.
        Exchange{"Cqrlog", {Esc("230"), "c", "q", Esc("232"), " ", "d", "e"}, "-.-. --.- / -.. ."},
        Exchange{"SignsCaseAndSkipped",
                 {"*<>&=(!", "a\xC3\x84#b"},
                 ".-.-. ...-.- -...-.- .-... -...- -.--. ...-. .- .-.- -..."},
        // Only 256 bytes of a datagram count: six e after 250 unkeyable.
        Exchange{
            "BackspaceCaretAndLimit",
            {std::string("ab\bc"), "e^ t", std::string(250, '#') + "eeeeee" + std::string(44, 't')},
            ".- -.-. . . . . . . ."}),
    [](const auto& info) { return std::string(info.param.name); });

// Dot lengths: speed commands, "+" and "-" in text (which persist), a bad
// speed ignored, weighting moving time from the gap to the element.
// The echo: a message's line end leaves its word space at the end of the
// line, not in front of the next, and each logger text starts a line.
TEST_F(NetKeying, TheEchoStartsEachTextOnALineOfItsOwnWithNoBlankInFront) {
  SentEcho echo{keyer};
  queued.also = &echo;
  settings.Message(1) = "CQ CQ\r\nDE DL1ABC";
  send.SendMessage(1);
  Run(12000);
  Request("DL1ABC");
  Request("TEST");
  Run(8000);
  std::string shown;
  for (const SentEcho::Char& c : echo.Chars()) shown += static_cast<char>(c.c);
  EXPECT_EQ(shown, "CQ CQ \nDE DL1ABC \nDL1ABC\nTEST");
  queued.also = nullptr;
}

TEST_F(NetKeying, SpeedAndWeightingKeyToTheMillisecond) {
  for (const std::string& request : {Esc("230"), std::string("e"), std::string("+e"),
                                     std::string("e"), Esc("299"), std::string("--e")})
    Request(request);
  Run(3000);  // a command acts when it comes, not in the text's turn
  Request(Esc("750"));
  Request("ii");
  Run(3000);
  EXPECT_EQ(Lengths(true), (std::vector<int>{40, 38, 38, 43, 69, 69, 69, 69}));  // 30, 32, 28 WPM
  EXPECT_EQ(Lengths(false).at(5), 17);  // inside the weighted "i": 42.86 x 0.4
}

TEST_F(NetKeying, ARepliesWhenItsTextsLastKeyUpComes) {
  Request(Esc("240"));
  Request("cq^ never keyed");
  Request(Esc("hTU"));
  Request("ee");
  Run(5000);
  EXPECT_EQ(Heard(), "-.-. --.- . .");
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].text, "cq\r\n");
  EXPECT_EQ(replies[1].text, "hTU\r\n");
  EXPECT_EQ(replies[1].ms, LastKeyUp());  // not after the gap that follows it
}

TEST_F(NetKeying, AbortStopsAtOnceAndAnswersBreak) {
  Request("paris paris paris^");
  Run(400);
  Request(Esc("4"));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].text, "break\r\n");
  Run(3000);
  EXPECT_LE(LastKeyUp(), 400);  // nothing keyed after it
  EXPECT_EQ(net.Waiting(), 0u);
}

TEST_F(NetKeying, AResetReturnsToTheSettingsAndAFullQueueRefusesWhole) {
  Request(Esc("250"));
  Request(Esc("3900"));
  Request(Esc("0"));
  EXPECT_EQ(send.Speed(), 30);
  EXPECT_EQ(keyer.tone, 600);
  for (int i = 0; i < 140; ++i) Request(std::string(250, 'e'));
  EXPECT_EQ(net.Totals().refused, 9u);  // 131 of them fill the queue
}

// Who may key from other computers: addresses and networks of both
// families, an IPv4 peer mapped into IPv6 counting as IPv4.
TEST(AllowList, NetworksAndAddressesOfBothFamilies) {
  AllowList allowed;
  ASSERT_TRUE(ParseAllowList("192.168.1.0/24,10.0.0.7,2001:db8::/32", &allowed).ok());
  auto peer = [](const char* text) {
    sockaddr_storage s{};
    if (inet_pton(AF_INET, text, &reinterpret_cast<sockaddr_in*>(&s)->sin_addr) == 1)
      s.ss_family = AF_INET;
    else if (inet_pton(AF_INET6, text, &reinterpret_cast<sockaddr_in6*>(&s)->sin6_addr) == 1)
      s.ss_family = AF_INET6;
    return s;
  };
  for (const char* in : {"10.0.0.7", "2001:db8:5::1", "::ffff:192.168.1.5"})
    EXPECT_TRUE(Allows(allowed, peer(in))) << in;
  for (const char* out : {"192.168.2.1", "::ffff:10.0.0.8"})
    EXPECT_FALSE(Allows(allowed, peer(out))) << out;
  for (const char* bad : {"192.168.1.0/33", "example.org"})
    EXPECT_FALSE(ParseAllowList(bad, &allowed).ok()) << bad;
}

}  // namespace
}  // namespace orvex
