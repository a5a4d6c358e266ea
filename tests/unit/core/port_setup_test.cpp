#include "core/sending/port_setup.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/send_harness.h"

namespace orvex {
namespace {

using Calls = std::vector<std::string>;

struct WithSettings {
  EnvSettings settings;
};

class Port : public ::testing::Test, public WithSettings, public test::FakeKeyerPath {
 protected:
  Port() : test::FakeKeyerPath(settings) {}
};

TEST_F(Port, OpeningStopsFirstThenSetsUpPortSidetoneAndSpeed) {
  settings.CWPort = "COM2";
  settings.CWTone = 700;
  settings.CWSidetone_Device = 4;
  ASSERT_TRUE(send.OpenCWPort(2));
  EXPECT_TRUE(send.Port().CWPortOpen());
  EXPECT_EQ(keyer.calls,
            (Calls{"ABORT", "KEYLINE 1", "SIDETONE 4", "TONE 700", "OPEN 2", "KEYLINE 1",
                   "SIDETONE 4", "TONE 700", "PTT 0 0", "IDLE", "UNIT 42"}));
  keyer.calls.clear();
  ASSERT_TRUE(send.OpenCWPort(2));  // opening again closes first
  EXPECT_EQ(keyer.calls[4], "CLOSE");
  keyer.calls.clear();
  send.CloseCWPort();
  EXPECT_EQ(keyer.calls, Calls{"CLOSE"});
  send.CloseCWPort();  // closed already: no call
  EXPECT_EQ(keyer.calls.size(), 1u);
}

TEST_F(Port, WithoutAPortTheSidetoneOpensAloneAndWithoutEitherNothingOpens) {
  ASSERT_TRUE(send.OpenCWPort(0));
  EXPECT_EQ(Calls(keyer.calls.begin() + 4, keyer.calls.end()),
            (Calls{"OPEN 0", "SIDETONE 1", "TONE 600", "PTT 0 0", "IDLE", "UNIT 42"}));
  settings.CWSidetone_Enable = 0;
  send.CloseCWPort();
  EXPECT_TRUE(send.OpenCWPort(0));
  EXPECT_FALSE(send.Port().CWPortOpen());
}

TEST_F(Port, AFailedOpenNamesTheDeviceTheCauseAndTheGroupToJoin) {
  settings.CWPort = "COM3";
  setenv("ORVEX_COM3", "/dev/orvex-adapter", 1);
  const std::pair<OpenResult, const char*> cases[] = {
      {{engine::OpenStatus::InUse, EBUSY}, "5, device in use.\r\n\r\n"},
      {{engine::OpenStatus::Other, EIO}, "5, Input/output error.\r\n\r\n"},
      {{engine::OpenStatus::NoAccess, EACCES},
       "12, invalid access.\r\n\r\nYour user may not open /dev/orvex-adapter: add it to the group "
       "dialout (sudo adduser $USER dialout) and log in again.\r\n\r\n"}};
  for (auto [result, status] : cases) {
    keyer.openResult = result;
    EXPECT_FALSE(send.OpenCWPort(3));
    EXPECT_FALSE(send.Port().CWPortOpen());
    EXPECT_EQ(
        sink.Last(),
        Text("CW Setup|Can't initialize CW port COM3 (/dev/orvex-adapter).\r\n\r\nStatus = ") +
            status + "Use Options/CW Port Select to change port.");
  }
  EXPECT_EQ(send.Port().PortStatusText(), "COM3 (/dev/orvex-adapter) failed: invalid access");
  keyer.openResult = {};
  ASSERT_TRUE(send.OpenCWPort(3));
  EXPECT_EQ(send.Port().PortStatusText(), "COM3 (/dev/orvex-adapter) open");
  unsetenv("ORVEX_COM3");
}

TEST_F(Port, SpeedSetsTheTruncatedUnitAndStepsStayWithinThreeToFortyNine) {
  send.Port().SetCWSpeed(13);
  EXPECT_EQ(keyer.calls, (Calls{"IDLE", "UNIT 92"}));  // 1200 / 13 = 92.3, truncated
  for (auto [from, step, to] :
       {std::tuple{48, 1, 49}, {49, 1, 49}, {4, -1, 3}, {3, -1, 3}, {60, 1, 60}, {60, -1, 59}}) {
    send.Port().SetCWSpeed(static_cast<int16_t>(from));
    send.Port().StepCWSpeed(step);
    EXPECT_EQ(send.Port().Speed(), to) << from << " " << step;
    EXPECT_EQ(keyer.calls.back(), "UNIT " + std::to_string(1200 / to));  // applied again
  }
}

TEST_F(Port, AFailingLineStopsSendingTellsOnceAndTheNextSaveOpensThePortAgain) {
  settings.CWPort = "COM1";
  ASSERT_TRUE(send.OpenCWPort(1));
  ASSERT_TRUE(send.ReconfigureCWPort(1));  // the same port again: not reopened
  EXPECT_EQ(std::count(keyer.calls.begin(), keyer.calls.end(), "OPEN 1"), 1);
  send.SendMessage(1);
  keyer.lineError = EIO;
  keyer.calls.clear();
  send.Tick();
  send.Tick();
  EXPECT_EQ(keyer.calls.front(), "ABORT");
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(
      sink.boxes[0].text.rfind("CW port COM1 (/dev/ttyS0) stopped working: Input/output error.", 0),
      0u);
  keyer.lineError = 0;
  ASSERT_TRUE(send.ReconfigureCWPort(1));
  EXPECT_EQ(Calls(keyer.calls.end() - 8, keyer.calls.end() - 6), (Calls{"CLOSE", "OPEN 1"}));
}

TEST_F(Port, ASilentSidetoneIsToldOnceAndTheNextSaveOpensItAgain) {
  settings.CWSidetone_Device = 4;
  keyer.sidetone = {"", 0, "the sound server went away"};
  ASSERT_TRUE(send.OpenCWPort(0));
  send.Tick();
  send.Tick();  // told once, not at every tick
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.Last(),
            "Sidetone|The sidetone cannot be heard: the sound server went away.\r\n\r\nKeying "
            "goes on without it. Save the CW Options (or start Orvex again) to try the sound "
            "again.");
  EXPECT_EQ(send.Port().SidetoneText(), "silent: the sound server went away");
  // Saving the options opens it anew (the device is let go first); still
  // silent, it is told again.
  keyer.calls.clear();
  ASSERT_TRUE(send.ReconfigureCWPort(0));
  EXPECT_EQ(Calls(keyer.calls.begin(), keyer.calls.begin() + 2),
            (Calls{"SIDETONE 0", "SIDETONE 4"}));
  EXPECT_EQ(sink.boxes.size(), 2u);
  // One that plays is left alone and says what it plays through; failing
  // again is told again.
  keyer.sidetone = {"PulseAudio 16.1", 13.2, ""};
  keyer.calls.clear();
  ASSERT_TRUE(send.ReconfigureCWPort(0));
  EXPECT_EQ(std::count(keyer.calls.begin(), keyer.calls.end(), "SIDETONE 0"), 0);
  EXPECT_EQ(send.Port().SidetoneText(), "PulseAudio 16.1, 13 ms behind the key");
  keyer.sidetone.problem = "the sound server went away";
  send.Tick();
  EXPECT_EQ(sink.boxes.size(), 3u);
}

TEST(Stop, EndsTheLineTheFileTheQueueAndTheKeyerInThatOrder) {
  test::SendHarness h;
  h.settings.CWSidetone_Enable = 0;
  h.typed.line = "ABC";
  h.send.Queue().QueueCW({static_cast<char>(kCodePause), 5, 'E'}, 3);  // held in a pause
  h.calls.clear();
  h.send.Stop();
  EXPECT_EQ(h.typed.line, "");
  EXPECT_EQ(h.send.Queue().PendingText(), 0);
  EXPECT_FALSE(h.send.Queue().Pausing());
  EXPECT_EQ(h.calls, (Calls{"ABORT 0 0", "KEYLINE 0 1", "SIDETONE 0 0"}));
}

}  // namespace
}  // namespace orvex
