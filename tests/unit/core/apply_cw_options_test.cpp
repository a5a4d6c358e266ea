#include "core/config/apply_cw_options.h"

#include <gtest/gtest.h>

#include "support/files.h"
#include "support/send_harness.h"

namespace orvex {
namespace {

struct WithState {
  test::TempDir dir;
  ProgramState state;
};

class CWOptions : public ::testing::Test, public WithState, public test::FakeKeyerPath {
 protected:
  CWOptions() : test::FakeKeyerPath(state.Env) {
    state.EnvFile = std::make_unique<EnvironmentFile>(dir.File("orvex.ini"), sink, state.Captions);
  }
  bool Save() { return ApplyCWOptions(entries, state, send, sink); }
  std::string File() { return test::ReadFile(dir.File("orvex.ini")); }
  CWOptionsEntries entries = EntriesFrom(state.Env);
};

TEST_F(CWOptions, PortNamesAreCheckedAndStoredUpperCase) {
  EXPECT_EQ(entries.port + entries.speed + entries.tone, "None28600");
  for (auto [typed, stored] :
       {std::pair{"com5", "COM5"}, {"lpt2", "LPT2"}, {"none", "None"}, {"", ""}, {"3", "3"}}) {
    entries.port = typed;
    EXPECT_TRUE(Save()) << typed;
    EXPECT_EQ(state.Env.CWPort, stored);
  }
  EXPECT_EQ(state.CWPortCode, 3);
  for (auto [typed, first] : {std::pair{"9", "Bad CW port '9'."}, {"12", "Bad CW port 'COM12'."}}) {
    entries.port = typed;
    EXPECT_FALSE(Save());
    EXPECT_EQ(sink.Last(), Text("Set CW Options|") + first +
                               "\r\nCW port must be COM1 thru 4, LPT1, LPT2 or None.");
  }
  EXPECT_EQ(state.Env.CWPort, "3");  // nothing applied after a failed check
}

TEST_F(CWOptions, SpeedAndToneChecks) {
  entries.speed = "100";
  EXPECT_FALSE(Save());
  EXPECT_EQ(sink.Last(), "Set CW Options|Speed must be 1 - 99.");
  entries.speed = "1.5";
  entries.tone = "10000";
  EXPECT_FALSE(Save());
  EXPECT_EQ(sink.Last(), "Set CW Options|CW tone must be 0 - 9999.");
  entries.tone = "0";
  entries.pttLead = "501";
  EXPECT_FALSE(Save());
  EXPECT_EQ(sink.Last(), "Set CW Options|PTT lead must be 0 - 500.");
  entries.pttLead = "200";
  entries.pttTail = "3001";
  EXPECT_FALSE(Save());
  EXPECT_EQ(sink.Last(), "Set CW Options|PTT tail must be 0 - 3000.");
  entries.pttTail = "3000";
  for (const char* bad : {"0", "65536", "6789x", "example.org:6789", ":6789"}) {
    entries.netKeyer = bad;
    EXPECT_FALSE(Save()) << bad;
    EXPECT_EQ(sink.Last(),
              "Set CW Options|Logger UDP port must be 1 - 65535, or address:port, or empty.");
  }
  entries.netKeyer = " [::1]:6789 ";
  EXPECT_TRUE(Save());
  EXPECT_EQ(state.Env.NetKeyer, "[::1]:6789");
  EXPECT_TRUE(test::Contains(File(), "\r\nNetKeyer=[::1]:6789\r\n"));
  EXPECT_EQ(state.Env.CWPttLead + state.Env.CWPttTail, 3200);
  EXPECT_EQ(state.Env.CWSpeed, 2);
  EXPECT_EQ(send.Port().Speed(), 2);
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
  EXPECT_TRUE(test::Contains(File(), "CWSpeed= 30 \r\n"));
  EXPECT_TRUE(test::Contains(File(), "MsgCW3= CQ TEST \r\n"));  // exactly as typed
  EXPECT_EQ(state.Captions.Caption(3), "&3: CQ TEST");
  EXPECT_TRUE(keyer.calls.empty());  // the main window is not open: no keyer
}

TEST_F(CWOptions, WithTheWindowOpenTheKeyerOpensAgainAndAFailureWritesNothing) {
  state.PacketOpen = true;
  entries.port = "COM2";
  entries.speed = "30";
  ASSERT_TRUE(Save());
  EXPECT_NE(std::find(keyer.calls.begin(), keyer.calls.end(), "OPEN 2"), keyer.calls.end());
  EXPECT_EQ(keyer.calls.back(), "UNIT 40");  // keying at 30 WPM at once
  keyer.calls.clear();
  entries.speed = "40";  // the same port: it stays open (a reopen pulses DTR and RTS)
  ASSERT_TRUE(Save());
  EXPECT_EQ(keyer.calls, (std::vector<std::string>{"KEYLINE 1", "SIDETONE 1", "TONE 600", "PTT 0 0",
                                                   "IDLE", "UNIT 30"}));
  std::remove(dir.File("orvex.ini").c_str());
  keyer.openResult = {engine::OpenStatus::InUse, EBUSY};
  entries.port = "COM4";
  EXPECT_FALSE(Save());
  EXPECT_EQ(sink.boxes.back().title, "CW Setup");
  EXPECT_EQ(state.CWPortCode, 0);
  EXPECT_FALSE(test::Exists(dir.File("orvex.ini")));
}

TEST_F(CWOptions, CancelAfterARefusedPortPutsBackTheSettingsAndThePort) {
  state.PacketOpen = true;
  entries.port = "COM2";
  ASSERT_TRUE(Save());
  CWOptionsSession session(state, send, sink);
  CWOptionsEntries e = session.Entries();
  e.port = "COM4";
  e.speed = "40";
  keyer.openResult = {engine::OpenStatus::NotFound, ENOENT};
  EXPECT_FALSE(session.Save(e));
  keyer.openResult = {};
  keyer.calls.clear();
  session.Cancel();
  EXPECT_EQ(state.Env.CWPort, "COM2");
  EXPECT_EQ(state.CWPortCode, 2);
  EXPECT_EQ(send.Port().Speed(), 28);
  EXPECT_NE(std::find(keyer.calls.begin(), keyer.calls.end(), "OPEN 2"), keyer.calls.end());
}

}  // namespace
}  // namespace orvex
