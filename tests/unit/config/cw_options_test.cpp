#include "config/cw_options.h"

#include <gtest/gtest.h>

#include "keying/fake_keyer.h"
#include "test_support.h"

namespace orvex {
namespace {

class CWOptions : public ::testing::Test {
 protected:
  void SetUp() override {
    state.EnvFile = std::make_unique<EnvironmentFile>(dir.File("orvex.ini"), sink, state.Captions);
    keying.InitCW();
    entries = EntriesFrom(state.Env);
  }
  bool Save() { return ApplyCWOptions(entries, state, keying, sink); }
  std::string File() { return test::ReadFile(dir.File("orvex.ini")); }

  test::TempDir dir;
  test::RecordingSink sink;
  ProgramState state;
  test::FakeKeyer keyer;
  CwKeying keying{state.Keying, state.Env, keyer, sink};
  CWOptionsEntries entries;
};

TEST_F(CWOptions, TheDialogOpensWithTheSettings) {
  state.Env.CWSidetone_Device = 7;
  state.Env.Message(2) = "TU";
  const CWOptionsEntries e = EntriesFrom(state.Env);
  EXPECT_EQ(e.port, "None");
  EXPECT_EQ(e.speed, "28");
  EXPECT_EQ(e.tone, "600");
  EXPECT_TRUE(e.sidetone);
  EXPECT_EQ(e.device, 1);  // anything but 3 and 4 is the PC speaker
  EXPECT_EQ(e.messages[1], "TU");
}

TEST_F(CWOptions, PortNamesAreCheckedAndStoredUpperCase) {
  const std::pair<const char*, const char*> good[] = {
      {"com5", "COM5"}, {"lpt2", "LPT2"}, {"none", "None"}, {"", ""}, {"3", "3"}};
  for (auto [typed, stored] : good) {
    entries.port = typed;
    EXPECT_TRUE(Save()) << typed;
    EXPECT_EQ(state.Env.CWPort, stored);
  }
  EXPECT_EQ(state.CWPortCode, 3);
  EXPECT_TRUE(sink.boxes.empty());
  for (auto [typed, first] : {std::pair{"9", "Bad CW port '9'."}, {"12", "Bad CW port 'COM12'."}}) {
    entries.port = typed;
    EXPECT_FALSE(Save());
    ASSERT_FALSE(sink.boxes.empty());
    EXPECT_EQ(sink.boxes.back().title, "Set CW Options");
    EXPECT_EQ(sink.boxes.back().text,
              Text(first) + "\r\nCW port must be COM1 thru 4, LPT1, LPT2 or None.");
  }
  EXPECT_EQ(state.Env.CWPort, "3");  // nothing applied after a failed check
}

TEST_F(CWOptions, SpeedAndToneChecks) {
  for (const char* bad : {"0", "100", "", "fast"}) {
    entries.speed = bad;
    EXPECT_FALSE(Save());
    EXPECT_EQ(sink.boxes.back().text, "Speed must be 1 - 99.");
  }
  entries.speed = "1.5";
  entries.tone = "10000";
  EXPECT_FALSE(Save());
  EXPECT_EQ(sink.boxes.back().text, "CW tone must be 0 - 9999.");
  entries.tone = "0";
  EXPECT_TRUE(Save());
  EXPECT_EQ(state.Env.CWSpeed, 2);
  EXPECT_EQ(state.Keying.CurrentSpeed, 2);
  EXPECT_EQ(state.Env.CWTone, 0);
}

TEST_F(CWOptions, SavingAppliesEverythingAndWritesTheFile) {
  entries.speed = "30";
  entries.sidetone = false;
  entries.device = 4;
  entries.messages[2] = " CQ TEST ";
  ASSERT_TRUE(Save());
  EXPECT_EQ(state.Env.CWSidetone_Enable, 0);
  EXPECT_EQ(state.Env.CWSidetone_Device, 4);
  EXPECT_EQ(state.Env.Message(3), " CQ TEST ");  // exactly as typed
  EXPECT_NE(File().find("CWSpeed= 30 \r\n"), std::string::npos);
  EXPECT_NE(File().find("MsgCW3= CQ TEST \r\n"), std::string::npos);
  EXPECT_EQ(state.Captions.Caption(3), "&3: CQ TEST");
  EXPECT_TRUE(keyer.calls.empty());  // the packet window is not open: no keyer
}

TEST_F(CWOptions, WithThePacketWindowOpenTheKeyerIsOpenedAgain) {
  state.PacketOpen = true;
  entries.port = "COM2";
  entries.speed = "30";
  ASSERT_TRUE(Save());
  EXPECT_NE(std::find(keyer.calls.begin(), keyer.calls.end(), "OPEN 2"), keyer.calls.end());
  EXPECT_EQ(keyer.calls.back(), "UNIT 40");  // keying at 30 WPM at once

  std::remove(dir.File("orvex.ini").c_str());
  keyer.openStatus = 5;
  entries.port = "COM4";
  EXPECT_FALSE(Save());
  EXPECT_EQ(sink.boxes.back().title, "CW Setup");
  EXPECT_EQ(state.CWPortCode, 0);
  EXPECT_EQ(state.Env.CWPort, "COM4");  // the values stay in effect
  EXPECT_FALSE(test::Exists(dir.File("orvex.ini")));  // but nothing is written
}

}  // namespace
}  // namespace orvex
