#include <gtest/gtest.h>

#include "core/frame/apply_cw_options.h"
#include "support/files.h"
#include "support/send_harness.h"

namespace orvex {
namespace {

struct WithState {
  test::TempDir dir;
  ProgramState state;
};

class CWOptions : public ::testing::Test, public WithState, public test::SendHarness {
 protected:
  CWOptions() : test::SendHarness("/stn", &state.Env) {
    state.EnvFile = std::make_unique<EnvironmentFile>(dir.File("orvex.ini"));
  }
  bool Save() { return ApplyCWOptions(entries, state, send, sink); }
  std::string File() { return test::ReadFile(dir.File("orvex.ini")); }
  CWOptionsEntries entries = EntriesFrom(state.Env);
  Text& port = entries.typed["CWPort"];
};

TEST_F(CWOptions, PortNamesAreCheckedAndStoredUpperCase) {
  for (auto [typed, stored] : {std::pair{"lpt2", "LPT2"}, {"none", "None"}, {"3", "3"}}) {
    port = typed;
    EXPECT_TRUE(Save()) << typed;
    EXPECT_EQ(state.Env.CWPort, stored);
  }
  EXPECT_EQ(state.CWPortCode, 3);
  for (auto [typed, first] : {std::pair{"9", "Bad CW port '9'."}, {"12", "Bad CW port 'COM12'."}}) {
    port = typed;
    EXPECT_FALSE(Save());
    EXPECT_EQ(sink.Last(), Text("Set CW Options|") + first +
                               "\r\nCW port must be COM1 to COM8, LPT1, LPT2, a device path or "
                               "None.");
  }
  EXPECT_EQ(state.Env.CWPort, "3");  // nothing applied after a failed check
  state.Env.CWSidetone_Device = 2;   // no such device: shown as the PC speaker
  EXPECT_EQ(EntriesFrom(state.Env).typed["CWSidetone_Device"], "1");
}

struct Refusal {
  const char* key;
  const char* typed;
  const char* box;
};

class CWOptionsRefuse : public CWOptions, public ::testing::WithParamInterface<Refusal> {};

TEST_P(CWOptionsRefuse, AnEntryOutsideItsLimitsKeepsTheDialogOpenAndAppliesNothing) {
  entries.typed[GetParam().key] = GetParam().typed;
  EXPECT_FALSE(Save());
  EXPECT_EQ(sink.Last(), Text("Set CW Options|") + GetParam().box);
  EXPECT_EQ(state.Env, EnvSettings{});
}

INSTANTIATE_TEST_SUITE_P(
    Limits, CWOptionsRefuse,
    ::testing::Values(Refusal{"CWSpeed", "fast", "Speed must be 1 - 99."},
                      Refusal{"NetKeyer", "example.org:6789",
                              "Logger UDP port must be 1 - 65535, or address:port, or empty."},
                      Refusal{"RigBaud", "1000001", "Rig baud rate must be 0 - 1000000."},
                      Refusal{"CWPttLine", "DTR",
                              "The key line and the PTT line can't both be DTR: choose another "
                              "PTT line, or None."},
                      Refusal{"CWKeyer", "K1EL", "Keyer must be Line, WinKeyer, Rig or Remote."}));

TEST_F(CWOptions, SavingAppliesEverythingAndWritesTheFile) {
  entries.typed["CWSpeed"] = "1.5";
  entries.typed["NetKeyer"] = " [::1]:6789 ";
  entries.typed["Call"] = "DL1ABC";  // #ME, set here too
  entries.messages[2] = " CQ TEST ";
  ASSERT_TRUE(Save());
  EXPECT_EQ(send.Speed(), 2);
  EXPECT_EQ(state.Env.MyCall, "DL1ABC");
  EXPECT_TRUE(test::Contains(File(), "\r\nNetKeyer=[::1]:6789\r\n"));
  EXPECT_TRUE(test::Contains(File(), "CWSpeed= 2 \r\n"));
  EXPECT_TRUE(test::Contains(File(), "MsgCW3= CQ TEST \r\n"));  // exactly as typed
  EXPECT_EQ(state.Captions.Caption(3), "&3: CQ TEST");
  EXPECT_EQ(keyer.opens, 0);  // the main window is not open: no keyer
}

TEST_F(CWOptions, AnotherWayOfKeyingOpensThePortAgainWiredSoAndIsWrittenOnlyThen) {
  state.PacketOpen = true;
  port = "COM2";
  ASSERT_TRUE(Save());
  EXPECT_FALSE(test::Contains(File(), "CWKeyLine"));  // the defaults leave the file as it was
  entries.typed["CWKeyLine"] = "rts";
  entries.typed["CWPttLine"] = "None";
  ASSERT_TRUE(Save());
  EXPECT_EQ(keyer.opens, 2);
  EXPECT_EQ(keyer.wiring.lines,
            (engine::LineChoice{engine::SerialLine::Rts, engine::SerialLine::None}));
  EXPECT_TRUE(test::Contains(File(), "\r\nCWKeyLine=RTS\r\nCWPttLine=None\r\n"));
  entries.typed["CWKeyer"] = "winkeyer";
  ASSERT_TRUE(Save());
  EXPECT_EQ(keyer.opens, 3);
  EXPECT_STREQ(keyer.wiring.keyer->name, "WinKeyer");
  EXPECT_EQ(state.Env.CWKeyer, "WinKeyer");
}

TEST_F(CWOptions, WithTheWindowOpenTheKeyerOpensAgainAndAFailureWritesNothing) {
  state.PacketOpen = true;
  port = "COM2";
  entries.typed["CWSpeed"] = "30";
  ASSERT_TRUE(Save());
  EXPECT_EQ(keyer.port, 2);
  EXPECT_EQ(keyer.unitMs, 40);      // keying at 30 WPM at once
  entries.typed["CWSpeed"] = "40";  // the same port: it stays open (a reopen pulses DTR and RTS)
  ASSERT_TRUE(Save());
  EXPECT_EQ(keyer.opens, 1);
  EXPECT_EQ(keyer.unitMs, 30);
  std::remove(dir.File("orvex.ini").c_str());
  keyer.openResult = Result::FromErrno(Fault::Open, EBUSY);
  port = "COM4";
  EXPECT_FALSE(Save());
  EXPECT_EQ(sink.boxes.back().title, "CW Setup");
  EXPECT_EQ(state.CWPortCode, 0);
  EXPECT_FALSE(test::Exists(dir.File("orvex.ini")));
}

TEST_F(CWOptions, CancelAfterARefusedPortPutsBackTheSettingsAndThePort) {
  state.PacketOpen = true;
  port = "COM2";
  ASSERT_TRUE(Save());
  CWOptionsSession session(state, send, sink);
  CWOptionsEntries e = session.Entries();
  e.typed["CWPort"] = "COM4";
  e.typed["CWSpeed"] = "40";
  keyer.openResult = Result::FromErrno(Fault::Open, ENOENT);
  EXPECT_FALSE(session.Save(e));
  keyer.openResult = {};
  session.Cancel();
  EXPECT_EQ(state.Env.CWPort, "COM2");
  EXPECT_EQ(state.CWPortCode, 2);
  EXPECT_EQ(send.Speed(), 28);
  EXPECT_EQ(keyer.port, 2);
  EXPECT_TRUE(keyer.open);
}

}  // namespace
}  // namespace orvex
