// The WinKeyer host against the emulator on a pseudo-terminal, in real
// time: flow control, stops, tune, the paddle and a lost keyer. (Text,
// speed, host open and close through the tools and the window are tested
// there.) Waits are generous; nothing here needs a quiet machine.
#include "engine/keyers/winkeyer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "engine/system/emergency.h"
#include "support/winkeyer_emulator.h"

namespace orvex::engine {
namespace {

using test::WinKeyerEmulator;

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

TEST_F(WinKeyerHost, ThePaddleBreakingInDropsTheTextAndNothingMoreGoesUntilAClear) {
  Open(20);
  SendText("CQ CQ CQ");
  ASSERT_TRUE(Sending());
  emu_->Paddle();
  ASSERT_TRUE(Until([&] { return keyer_.BreakIns() == 1; }));
  EXPECT_EQ(keyer_.Pending(), 0);
  keyer_.Send("E", 0);
  EXPECT_EQ(keyer_.Pending(), 0) << "text sent after the operator took the paddle";
  keyer_.Clear();
  keyer_.Send("E", 0);
  EXPECT_TRUE(Until([&] { return keyer_.Pending() == 0; }));
}

TEST_F(WinKeyerHost, APulledAdapterOrAKeyerThatFallsSilentIsAFailure) {
  Open(60);
  SendText("PARIS");
  emu_->Unplug();
  ASSERT_TRUE(Until([&] { return keyer_.Failure().failed(); }));
  EXPECT_EQ(keyer_.Pending(), 0);
  keyer_.Close();
  Open(99);
  emu_->GoSilent();
  SendText("PARIS");
  ASSERT_TRUE(Until([&] { return keyer_.Failure().failed(); }, 8000));
  EXPECT_EQ(keyer_.Failure().error(), ETIMEDOUT);
  EXPECT_EQ(keyer_.Failure().text(), "the WinKeyer stopped answering");
}

TEST_F(WinKeyerHost, TheEmergencyKeyUpClearsTheKeyer) {
  Open(28);
  keyer_.Tune(5000);
  ASSERT_TRUE(Until([&] { return emu_->Now().keyDown; }));
  emergency::RaiseAll();  // what every signal handler does first
  EXPECT_TRUE(Until([&] { return !emu_->Now().keyDown; }, 1000));
}

}  // namespace
}  // namespace orvex::engine
