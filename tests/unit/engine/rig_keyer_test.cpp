// The radio's own keyer through a real rigctld with Hamlib's dummy radio,
// started here on a free port: what rigctld was asked is read from its
// debug log, PTT from another client (rigctl), as a station's logger would.
#include "engine/keyers/rig_keyer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <functional>
#include <regex>
#include <thread>

#include "support/files.h"

namespace orvex::engine {
namespace {

using namespace std::chrono_literals;

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
