#include "packet/packet_commands.h"

#include <gtest/gtest.h>

#include "keying/fake_keyer.h"
#include "keying/send_fakes.h"
#include "test_support.h"

namespace orvex {
namespace {

class Commands : public ::testing::Test {
 protected:
  void SetUp() override {
    state.EnvFile = std::make_unique<EnvironmentFile>(dir.File("orvex.ini"), sink, state.Captions);
    state.Env.MyCall = "DL1ABC";
    state.Env.Message(3) = "#HIM DE #ME";
    send.Keying().InitCW();
    send.Keying().SetCWSpeed(28);
    PacketSeams seams;
    seams.prompt = [this](const Text& title, const Text& label, Text* text) {
      prompts.push_back(title + "|" + label + "|" + *text);
      *text = answer;
      return ok;
    };
    seams.setTitle = [this](const Text& t) { title = t; };
    seams.beep = [this] { ++beeps; };
    commands = std::make_unique<PacketCommands>(state, send, sink, seams);
  }

  test::TempDir dir;
  test::RecordingSink sink;
  ProgramState state;
  ManualClock clock;
  test::FakeKeyer keyer;
  test::FakeTimer timer{clock};
  test::CountingBeeper beeper;
  SendPath send{keyer, state.Keying, state.Env, clock, timer, beeper, sink, dir.path()};
  std::unique_ptr<PacketCommands> commands;
  std::vector<Text> prompts;
  Text answer;
  bool ok = true;
  Text title;
  int beeps = 0;
};

TEST_F(Commands, FasterAndSlowerStepWithinTheirLimitsAndRewriteTheTitle) {
  state.Keying.CurrentSpeed = 48;
  commands->Faster();
  EXPECT_EQ(title, " Orvex - 49 WPM");
  title.clear();
  commands->Faster();
  EXPECT_EQ(title, " Orvex - 49 WPM");  // rewritten though unchanged
  state.Keying.CurrentSpeed = 4;
  commands->Slower();
  commands->Slower();
  EXPECT_EQ(title, " Orvex - 3 WPM");
}

TEST_F(Commands, SetSpeedOffersTheCurrentSpeedAndAppliesTheAnswer) {
  answer = "2.5";
  commands->SetSpeed();
  EXPECT_EQ(prompts.at(0), "Set Speed|Speed|28");
  EXPECT_EQ(state.Keying.CurrentSpeed, 2);
  EXPECT_EQ(state.Keying.UnitMs, 600);
  EXPECT_EQ(title, " Orvex - 2 WPM");
  state.Keying.CurrentSpeed = 60;  // Set Speed allows what Faster does not reach
  commands->Faster();
  EXPECT_EQ(state.Keying.CurrentSpeed, 60);
  commands->Slower();
  EXPECT_EQ(state.Keying.CurrentSpeed, 59);
}

TEST_F(Commands, SetSpeedGuardsAgainstAnAnswerOutOfRange) {
  answer = "100";
  commands->SetSpeed();
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].title, "Set CW Speed");
  EXPECT_EQ(sink.boxes[0].text, "Speed must be 1 - 99");  // no full stop: its own box
  EXPECT_EQ(state.Keying.CurrentSpeed, 28);
  ok = false;  // Cancel: nothing happens
  commands->SetSpeed();
  EXPECT_EQ(sink.boxes.size(), 1u);
}

TEST_F(Commands, SetHimIsKeptOnlyInMemoryAndSetMeIsSaved) {
  answer = "G4XYZ";
  commands->SetHim();
  EXPECT_EQ(prompts.at(0), "Set #him|Call|");
  EXPECT_EQ(send.HisCall, "G4XYZ");
  EXPECT_FALSE(test::Exists(dir.File("orvex.ini")));
  answer = "";
  commands->SetHim();
  EXPECT_EQ(send.HisCall, "");

  answer = "DL1ABC";  // unchanged, and still written
  commands->SetMe();
  EXPECT_EQ(prompts.back(), "Set #me|Call|DL1ABC");
  EXPECT_NE(test::ReadFile(dir.File("orvex.ini")).find("Call=DL1ABC\r\n"), std::string::npos);
  ok = false;
  answer = "X";
  commands->SetMe();
  EXPECT_EQ(state.Env.MyCall, "DL1ABC");
}

TEST_F(Commands, MessagesAreExpandedStoredAndQueued) {
  send.HisCall = "G4XYZ";
  commands->SendMessage(3);
  EXPECT_EQ(send.Queue().LastMessage, "G4XYZ DE DL1ABC\r\n");
  commands->Perform({KeyAction::SendMessage, 5});  // empty: just CRLF
  EXPECT_EQ(send.Queue().LastMessage, "\r\n");
}

}  // namespace
}  // namespace orvex
