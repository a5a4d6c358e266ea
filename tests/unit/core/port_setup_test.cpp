#include "core/sending/port_setup.h"

#include <gtest/gtest.h>

#include "support/files.h"
#include "support/send_harness.h"

namespace orvex {
namespace {

class Port : public ::testing::Test, public test::SendHarness {};

TEST_F(Port, OpeningSetsUpThePortItsSidetoneAndTheSpeedAndOpeningAgainClosesFirst) {
  settings.CWPort = "COM2";
  settings.CWSidetone_Device = 4;
  settings.CWPttLead = 50;
  ASSERT_TRUE(send.OpenCWPort(2).ok());
  EXPECT_TRUE(keyer.keyLine);
  EXPECT_EQ(keyer.sidetone, SidetoneDevice::SoundCard);
  EXPECT_EQ(keyer.pttLead, 50);
  EXPECT_EQ(keyer.unitMs, 42);       // 28 WPM
  EXPECT_EQ(Count("ABORT 0 0"), 1);  // everything queued was stopped first
  ASSERT_TRUE(send.OpenCWPort(2).ok());
  EXPECT_EQ(Count("CLOSE 0 0"), 1);
  send.CloseCWPort();
  EXPECT_FALSE(keyer.open);
  send.CloseCWPort();  // closed already: the keyer is not asked again
  EXPECT_EQ(Count("CLOSE 0 0"), 2);
}

TEST_F(Port, WithoutAPortTheSidetoneOpensAloneAndWithoutEitherNothingOpens) {
  ASSERT_TRUE(send.OpenCWPort(0).ok());
  EXPECT_TRUE(keyer.open);
  EXPECT_FALSE(keyer.keyLine);
  EXPECT_EQ(keyer.sidetone, SidetoneDevice::PcSpeaker);
  settings.CWSidetone_Enable = 0;
  send.CloseCWPort();
  EXPECT_TRUE(send.OpenCWPort(0).ok());
  EXPECT_FALSE(send.PortOpen());
  EXPECT_EQ(keyer.opens, 1);
}

struct OpenFailure {
  int err;
  const char* status;  // what the box says after "Status = "
  const char* words;   // what the status line says
};

class PortFailure : public Port, public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(PortFailure, NamesTheDeviceTheCauseAndTheGroupToJoin) {
  settings.CWPort = "COM3";
  setenv("ORVEX_COM3", "/dev/orvex-adapter", 1);
  keyer.openResult = Result::FromErrno(Fault::Open, GetParam().err);
  EXPECT_FALSE(send.OpenCWPort(3).ok());
  EXPECT_EQ(sink.Last(),
            Text("CW Setup|Can't initialize CW port COM3 (/dev/orvex-adapter).\r\n\r\nStatus = ") +
                GetParam().status + "Use Options/CW Options to change the port.");
  EXPECT_EQ(send.PortStatusText(), Text("COM3 (/dev/orvex-adapter) failed: ") + GetParam().words);
  keyer.openResult = {};
  ASSERT_TRUE(send.OpenCWPort(3).ok());
  EXPECT_EQ(send.PortStatusText(), "COM3 (/dev/orvex-adapter) open");
  unsetenv("ORVEX_COM3");
}

INSTANTIATE_TEST_SUITE_P(
    Causes, PortFailure,
    ::testing::Values(OpenFailure{EBUSY, "5, device in use.\r\n\r\n", "device in use"},
                      OpenFailure{EACCES,
                                  "12, invalid access.\r\n\r\nYour user may not open "
                                  "/dev/orvex-adapter: add it to the group dialout (sudo adduser "
                                  "$USER dialout) and log in again.\r\n\r\n",
                                  "invalid access"}),
    [](const auto& info) { return std::string(strerrorname_np(info.param.err)); });

TEST_F(Port, AFailingLineStopsSendingTellsOnceAndTheNextSaveOpensThePortAgain) {
  settings.CWPort = "COM1";
  settings.Message(1) = "TEST";
  ASSERT_TRUE(send.OpenCWPort(1).ok());
  ASSERT_TRUE(send.ReconfigureCWPort(1).ok());  // the same port again: not reopened
  EXPECT_EQ(keyer.opens, 1);
  send.SendMessage(1);
  keyer.lineError = Result::FromErrno(Fault::Write, EIO);
  send.Tick();
  send.Tick();
  EXPECT_EQ(send.Queue().PendingText(), 0);  // everything stopped
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(
      sink.boxes[0].text.rfind("CW port COM1 (/dev/ttyS0) stopped working: Input/output error.", 0),
      0u);
  EXPECT_EQ(send.PortStatusText(), "COM1 (/dev/ttyS0) failed: Input/output error");
  keyer.lineError = {};
  ASSERT_TRUE(send.ReconfigureCWPort(1).ok());
  EXPECT_EQ(keyer.opens, 2);
}

// What failed is named as the operator named it, and while nothing is open
// the sidetone is not called missing; a keying choice nobody can read opens
// no port at all.
TEST_F(Port, AFailedKeyerIsNamedAndAnUnreadableChoiceKeysNothing) {
  settings.CWKeyer = "Remote";
  keyer.openResult = Result::Failed(Fault::Write, ETIMEDOUT, "it does not answer");
  EXPECT_FALSE(send.OpenCWPort(0).ok());
  EXPECT_EQ(send.PortStatusText(), "Far keyer 127.0.0.1:6789: it does not answer");
  EXPECT_EQ(send.SidetoneText(), "silent: nothing is keyed");
  settings.CWKeyer = "Line";
  settings.CWKeyLine = "RTSS";
  keyer.openResult = {};
  const int opens = keyer.opens;
  EXPECT_FALSE(send.OpenCWPort(1).ok());
  EXPECT_EQ(keyer.opens, opens);
  EXPECT_TRUE(test::Contains(sink.Last(),
                             "Nothing is keyed: CWKeyLine 'RTSS' in the environment file is "
                             "not DTR or RTS."))
      << sink.Last();
}

TEST_F(Port, AWindowShowsASilentStartWhereTheSidetoneIsShownAndNoBoxComesFirst) {
  Remedies window;
  window.silentStartShown = true;
  SendPath started{{keyer, settings, clock, timer, beeper, attention, "/tmp", nullptr, window}};
  settings.CWSidetone_Device = 4;
  keyer.sidetoneState = {"", 0, "no sound server answered and no sound card could be opened"};
  ASSERT_TRUE(started.OpenCWPort(0).ok());
  started.Tick();
  EXPECT_TRUE(sink.boxes.empty());
  EXPECT_EQ(started.SidetoneText(),
            "silent: no sound server answered and no sound card could be opened");
  // Saving the options while it is still silent is told, as anything after the start.
  ASSERT_TRUE(started.ReconfigureCWPort(0).ok());
  EXPECT_EQ(sink.boxes.size(), 1u);
}

TEST_F(Port, ASilentSidetoneIsToldOnceAndTheNextSaveOpensItAgain) {
  settings.CWSidetone_Device = 4;
  keyer.sidetoneState = {"", 0, "the sound server went away"};
  ASSERT_TRUE(send.OpenCWPort(0).ok());
  send.Tick();
  send.Tick();  // told once, not at every tick
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.Last(),
            "Sidetone|The sidetone cannot be heard: the sound server went away.\r\n\r\nKeying "
            "goes on without it. Save the CW Options (or start Orvex again) to try the sound "
            "again.");
  // Saving the options opens it anew; still silent, it is told again.
  ASSERT_TRUE(send.ReconfigureCWPort(0).ok());
  EXPECT_EQ(sink.boxes.size(), 2u);
  // One that plays is left alone and says what it plays through; failing
  // again is told again.
  keyer.sidetoneState = {"PulseAudio 16.1", 13.2, ""};
  calls.clear();
  ASSERT_TRUE(send.ReconfigureCWPort(0).ok());
  EXPECT_EQ(Count("SIDETONE 0 0"), 0);
  EXPECT_EQ(send.SidetoneText(), "PulseAudio 16.1, 13 ms behind the key");
  keyer.sidetoneState.withKey = true;  // rendered ahead: no delay to tell
  keyer.sidetoneState.device = SidetoneDevice::SoundCard;
  settings.CWSidetone_Device = 1;  // the PC speaker chosen, missing: told where it is shown
  EXPECT_EQ(send.SidetoneText(), "PulseAudio 16.1, with the key (no PC speaker: in its place)");
  settings.CWSidetone_Device = 4;
  keyer.sidetoneState.withKey = false;
  keyer.sidetoneState.device = SidetoneDevice::None;
  keyer.sidetoneState.problem = "the sound server went away";
  send.Tick();
  EXPECT_EQ(sink.boxes.size(), 3u);
}

TEST_F(Port, StopEndsTheLineTheQueueAndThePauseAndLeavesTheKeyerAsConfigured) {
  settings.CWSidetone_Enable = 0;
  settings.CWPort = "COM1";
  ASSERT_TRUE(send.OpenCWPort(1).ok());
  typed.line = "ABC";
  // A notice's key line off and raised pitch, then held in a pause.
  send.Queue().QueueCW({static_cast<char>(kCodeKeyLineOff), static_cast<char>(kCodeNoticePitch),
                        static_cast<char>(kCodePause), 5, 'E'},
                       Slot::Message);
  ASSERT_FALSE(keyer.keyLine);
  ASSERT_EQ(keyer.sidetone, SidetoneDevice::PcSpeaker);
  calls.clear();
  send.Stop();
  EXPECT_EQ(typed.line, "");
  EXPECT_EQ(send.Queue().PendingText(), 0);
  EXPECT_FALSE(send.Queue().Pausing());
  EXPECT_TRUE(keyer.keyLine);
  EXPECT_EQ(keyer.sidetone, SidetoneDevice::None);
}

// The keyer dropped its own text when the paddle broke in: nothing is
// aborted again (that would cut the hand short), and what waits here stops.
TEST_F(Port, ThePaddleBreakingInStopsWhatWaitsAndSaysSoUntilTheNextText) {
  settings.CWPort = "COM1";
  ASSERT_TRUE(send.OpenCWPort(1).ok());
  keyer.takesCharacters = true;
  calls.clear();
  typed.line = "CQ CQ";
  send.Queue().QueueCW("TEST TEST", Slot::Message);
  RunFor(100);
  ++keyer.breakIns;  // the operator took the paddle
  RunFor(100);
  EXPECT_EQ(Count("ABORT 0 0"), 0);
  EXPECT_EQ(send.Queue().PendingText(), 0);
  EXPECT_FALSE(typed.line.empty());  // what was typed waits for the operator
  EXPECT_TRUE(send.PaddleStopped());
  send.Queue().QueueCW("E", Slot::Message);
  RunFor(100);
  EXPECT_FALSE(send.PaddleStopped());
}

}  // namespace
}  // namespace orvex
