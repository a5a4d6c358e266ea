#include "keying/cw_keying.h"

#include <gtest/gtest.h>

#include "keying/fake_keyer.h"
#include "test_support.h"

namespace orvex {
namespace {

using Calls = std::vector<std::string>;

class Keying : public ::testing::Test {
 protected:
  void SetUp() override {
    keying.SetHooks({[this] { hooks.push_back("clear line"); },
                     [this] { hooks.push_back("end file"); },
                     [this] { hooks.push_back("clear queue"); }});
  }
  EnvSettings settings;
  KeyingState state;
  test::FakeKeyer keyer;
  test::RecordingSink sink;
  CwKeying keying{state, settings, keyer, sink};
  std::vector<std::string> hooks;
};

TEST_F(Keying, InitTakesTheConfiguredSpeedOrTwentyEight) {
  for (auto [configured, used] : {std::pair{20, 20}, {1, 1}, {99, 99}, {0, 28}, {100, 28}}) {
    settings.CWSpeed = static_cast<int16_t>(configured);
    state.KeyboardCW = state.CWPortOpen = true;
    keying.InitCW();
    EXPECT_EQ(state.CurrentSpeed, used);
    EXPECT_FALSE(state.KeyboardCW);
    EXPECT_FALSE(state.CWPortOpen);
  }
  EXPECT_EQ(state.Morse[0], "a.-");
  EXPECT_TRUE(keyer.calls.empty());
}

TEST_F(Keying, OpenWithPortAndSidetone) {
  settings.CWPort = "COM2";
  settings.CWTone = 700;
  settings.CWSidetone_Device = 4;
  keying.InitCW();
  ASSERT_TRUE(keying.OpenCWPort(2));
  EXPECT_TRUE(state.CWPortOpen);
  EXPECT_EQ(keyer.calls, (Calls{"ABORT", "KEYLINE 1", "SIDETONE 4", "TONE 700",  // StopCW
                                "OPEN 2", "KEYLINE 1", "SIDETONE 4", "TONE 700", "IDLE",
                                "UNIT 42"}));
  EXPECT_EQ(hooks, (std::vector<std::string>{"end file", "clear queue"}));
  EXPECT_FALSE(state.Elements['E'].empty());

  keyer.calls.clear();
  ASSERT_TRUE(keying.OpenCWPort(2));  // opening again closes first
  EXPECT_EQ(keyer.calls[4], "CLOSE");
}

TEST_F(Keying, NoPortAndNoSidetoneOpensNothing) {
  settings.CWSidetone_Enable = 0;
  keying.InitCW();
  EXPECT_TRUE(keying.OpenCWPort(0));
  EXPECT_FALSE(state.CWPortOpen);
  for (const auto& c : keyer.calls) EXPECT_EQ(c.rfind("OPEN", 0), std::string::npos) << c;
}

TEST_F(Keying, PortZeroWithSidetoneOpensWithoutTheKeyLine) {
  settings.CWPort = "None";
  keying.InitCW();
  ASSERT_TRUE(keying.OpenCWPort(0));
  EXPECT_EQ(keyer.calls, (Calls{"ABORT", "KEYLINE 1", "SIDETONE 1", "TONE 600", "OPEN 0",
                                "SIDETONE 1", "TONE 600", "IDLE", "UNIT 42"}));
}

TEST_F(Keying, AFailedOpenShowsTheCwSetupBox) {
  settings.CWPort = "COM3";
  keying.InitCW();
  const std::pair<int, const char*> cases[] = {{2, ", device not found"},
                                               {5, ", device in use"},
                                               {12, ", invalid access"},
                                               {32, ", sharing violation"},
                                               {7, ""}};
  for (auto [status, suffix] : cases) {
    keyer.openStatus = static_cast<int16_t>(status);
    sink.boxes.clear();
    EXPECT_FALSE(keying.OpenCWPort(3));
    EXPECT_FALSE(state.CWPortOpen);
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0].title, "CW Setup");
    EXPECT_TRUE(sink.boxes[0].warning);
    EXPECT_EQ(sink.boxes[0].text, "Can't initialize CW port COM3.\r\n\r\nStatus = " +
                                      std::to_string(status) + suffix +
                                      ".\r\n\r\nUse Options/CW Port Select to change port.");
  }
}

TEST_F(Keying, SpeedSetsTheUnitTruncated) {
  keying.InitCW();
  for (auto [speed, unit] : {std::pair{28, 42}, {20, 60}, {13, 92}, {1, 1200}, {99, 12}}) {
    keyer.calls.clear();
    keying.SetCWSpeed(static_cast<int16_t>(speed));
    EXPECT_EQ(state.UnitMs, unit);
    EXPECT_EQ(keyer.calls, (Calls{"IDLE", "UNIT " + std::to_string(unit)}));
  }
}

TEST_F(Keying, StepsStayWithinThreeToFortyNine) {
  keying.InitCW();
  const std::tuple<int, int, int> cases[] = {
      {48, 1, 49}, {49, 1, 49}, {4, -1, 3}, {3, -1, 3}, {60, -1, 59}, {60, 1, 60}};
  for (auto [from, step, to] : cases) {
    state.CurrentSpeed = static_cast<int16_t>(from);
    keyer.calls.clear();
    keying.StepCWSpeed(step);
    EXPECT_EQ(state.CurrentSpeed, to) << from << " " << step;
    EXPECT_EQ(keyer.calls.back(), "UNIT " + std::to_string(1200 / to));  // applied again
  }
}

TEST_F(Keying, StopEndsEverythingInOrder) {
  settings.CWSidetone_Enable = 0;
  state.KeyboardCW = true;
  keying.StopCW();
  EXPECT_EQ(hooks, (std::vector<std::string>{"clear line", "end file", "clear queue"}));
  EXPECT_EQ(keyer.calls, (Calls{"ABORT", "KEYLINE 1", "SIDETONE 0"}));

  hooks.clear();
  keyer.calls.clear();
  state.KeyboardCW = false;  // before start-up ends the typed line is left alone
  settings.CWPort.clear();
  keying.StopCW();
  EXPECT_EQ(hooks, (std::vector<std::string>{"end file", "clear queue"}));
  EXPECT_EQ(keyer.calls, (Calls{"ABORT", "KEYLINE 0", "SIDETONE 0"}));
}

TEST_F(Keying, CloseOnlyWhenOpen) {
  keying.CloseCWPort();
  EXPECT_TRUE(keyer.calls.empty());
  EXPECT_TRUE(hooks.empty());
  keying.InitCW();
  ASSERT_TRUE(keying.OpenCWPort(1));
  keyer.calls.clear();
  hooks.clear();
  keying.CloseCWPort();
  EXPECT_EQ(keyer.calls, Calls{"CLOSE"});
  EXPECT_EQ(hooks, std::vector<std::string>{"clear queue"});
  EXPECT_FALSE(state.CWPortOpen);
}

}  // namespace
}  // namespace orvex
