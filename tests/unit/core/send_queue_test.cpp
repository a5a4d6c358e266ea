#include "core/sending/send_queue.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <cctype>

#include "core/macros/expand_macros.h"
#include "core/macros/queue_codes.h"
#include "core/sending/port_setup.h"
#include "support/files.h"
#include "support/send_harness.h"

namespace orvex {
namespace {

Text Codes(std::initializer_list<unsigned char> codes) {
  return Text(codes.begin(), codes.end());
}

class Pump : public ::testing::Test, public test::SendHarness {
 protected:
  SendQueue& queue = send.Queue();
};

TEST_F(Pump, LevelsAreStrictPrioritiesAndALineEndIsAWordSpace) {
  queue.QueueCW("5\r\n", Slot::Message);  // eleven elements: the keyer is busy for a while
  typed.line = "T";
  queue.QueueCW("I", Slot::Message);
  queue.QueueCW("M", Slot::File);
  RunFor(2000);
  EXPECT_EQ(Keyed(), "..... --  .. - [IDLE 0 0]");  // 5, M, the line's end, I, T
}

// A message's own speed: its elements at it (30 ms dots at 40 WPM), the
// window's speed, the next message and typed text untouched, and Esc ends it.
TEST_F(Pump, AMessagesOwnSpeedLastsToItsEndOnly) {
  queue.QueueMessage("E" + Codes({kCodeSpeed, '+', 12}) + "E" + Codes({kCodeSpeed, '=', 0}));
  queue.QueueMessage("E");
  typed.line = "E";
  RunFor(3000);
  EXPECT_EQ(Keyed(), ". [ELEMENTMS 0 30][ELEMENTMS 128 30][ELEMENTMS 128 60]. . [IDLE 0 0]");
  EXPECT_EQ(send.Speed(), 28);
  queue.QueueMessage(Codes({kCodeSpeed, '-', 20}) + "EE");
  RunFor(100);
  send.Stop();
  calls.clear();
  queue.QueueMessage("E");
  RunFor(3000);
  EXPECT_EQ(Keyed(), ". [IDLE 0 0]");
}

TEST_F(Pump, ANoticeIsHeardInTheSidetoneAtTheRaisedPitch) {
  settings.CWPort = "COM1";
  settings.CWTone = 700;
  queue.QueueCW("5", Slot::Message);  // keep the keyer busy to see the slot as queued
  calls.clear();
  queue.QueueCW("E", Slot::Notice);
  EXPECT_EQ(queue.SlotText(Slot::Notice), "  " + Codes({kCodeKeyLineOff, kCodeNoticePitch}) + "E" +
                                              Codes({kCodeNormalPitch, kCodeKeyLineOn}) + "  ");
  RunFor(1000);
  EXPECT_EQ(Keyed(), "  [KEYLINE 0 0][TONE 0 750]. [TONE 0 700][KEYLINE 0 1]  [IDLE 0 0]");
}

TEST_F(Pump, APauseWaitsForWhatCameBeforeAndHoldsEverythingAfter) {
  queue.QueueCW("E" + Codes({kCodePause, 2}) + "T", Slot::Message);
  EXPECT_EQ(timer.starts, 0);  // E is still being keyed
  RunFor(100);
  EXPECT_EQ(timer.lastMs, 2000);
  EXPECT_TRUE(queue.Pausing());
  queue.QueueCW("I", Slot::Message);
  typed.line = "A";
  RunFor(1800);
  EXPECT_EQ(Keyed(), ". ");
  EXPECT_EQ(typed.line, "A");  // typed text stays editable meanwhile
  RunFor(300);
  EXPECT_EQ(Keyed().substr(0, 7), ". - .. ");
}

TEST_F(Pump, ARepeatSendsTheMessageAgainUntilANewerOneReplacesIt) {
  queue.QueueMessage("E" + Codes({kCodeRepeat}));
  RunFor(2000);
  const int dots = Count("ELEMENT 0 1");
  EXPECT_GT(dots, 5);
  queue.QueueMessage("T\r\n");
  RunFor(2000);
  EXPECT_EQ(Count("ELEMENT 0 3"), 1);  // the newest message, once
  EXPECT_LE(Count("ELEMENT 0 1"), dots + 1);
  EXPECT_EQ(queue.PendingText(), 0);
}

TEST_F(Pump, AFileCommandsLinesGoBeforeTheRestOfTheMessage) {
  test::TempDir dir;
  test::WriteFile(dir.File("log.txt"), "T\n");
  queue.QueueCW(Codes({kCodeFile}) + " " + dir.File("log.txt") + " I", Slot::Message);
  RunFor(1000);
  EXPECT_EQ(Keyed(), "-  .. [IDLE 0 0]");
  queue.QueueCW(Codes({kCodeFile}), Slot::Message);  // no name: "???"
  EXPECT_EQ(sink.Last(),
            "CW Start|Can't send file '?\?\?' as CW.\r\n(2) No such file or directory.");
}

TEST_F(Pump, TypedCharactersLeaveOneAPassAndCommandLettersActAsCommands) {
  typed.line = "EEE";
  queue.PumpCW();
  EXPECT_EQ(typed.line, "EE");
  send.SetKeyboardCW(false);
  RunFor(500);
  EXPECT_EQ(typed.line, "EE");  // no keyboard sending before start-up ends
  send.SetKeyboardCW(true);
  settings.CWPort = "COM1";
  typed.line = "\xCA\xC9\xC8";  // Ê: key line off, É a letter, È: key line on
  calls.clear();
  RunFor(1500);
  EXPECT_EQ(Keyed(), "[KEYLINE 0 0]..-.. [KEYLINE 0 1][IDLE 0 0]");
}

// A WinKeyer times the elements itself: characters go to it about one
// ahead of the key, commands still wait for what came before them, and
// text with the key line off stays with our own sidetone.
TEST_F(Pump, AKeyerThatTimesItselfTakesCharactersOneAheadAndCommandsWaitForThem) {
  settings.CWPort = "COM1";
  ASSERT_TRUE(send.OpenCWPort(1).ok());
  keyer.takesCharacters = true;
  typed.line = "CQ";
  queue.QueueCW("TEST" + Codes({kCodePause, 1}) + "K", Slot::Message);
  EXPECT_EQ(keyer.characters, "TE");
  RunFor(1200);
  EXPECT_EQ(keyer.characters, "TEST");
  EXPECT_EQ(timer.starts, 1) << "the pause began before the last character had ended";
  RunFor(3000);
  EXPECT_EQ(keyer.characters, "TESTKCQ");
  calls.clear();
  queue.QueueCW("E", Slot::Notice);  // a notice: heard here, never keyed
  RunFor(2000);
  EXPECT_EQ(keyer.characters, "TESTKCQ    ");  // the notice's blanks are silence anyway
  EXPECT_TRUE(test::Contains(Keyed(), "[KEYLINE 0 0][TONE 0 650]. [TONE 0 600][KEYLINE 0 1]"));
}

// Such a keyer knows letters and figures; every other sign is two of them
// run together, and must sound as our own table keys it.
TEST(KeyerLetters, EverySignIsOneOrTwoLettersWhoseCodesRunTogetherToItsCode) {
  for (int c = 1; c < 256; ++c) {
    const auto ch = static_cast<unsigned char>(c);
    const std::string letters = KeyerLetters(ch);
    if (MorseCode(ch).empty() || ch == ' ') {
      EXPECT_EQ(letters, ch == ' ' ? " " : "") << c;
      continue;
    }
    ASSERT_TRUE(letters.size() == 1 || letters.size() == 2) << c;
    std::string code;
    for (char l : letters) {
      EXPECT_TRUE(std::isupper(static_cast<unsigned char>(l)) || std::isdigit(l)) << c;
      code += MorseCode(static_cast<unsigned char>(l));
    }
    EXPECT_EQ(code, MorseCode(ch)) << c;
  }
}

// The port: opened, failing, stopped; the sidetone's state told.
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

// A port that will not open: the box names the device, the cause and, where
// the user may not open it, the group to join; the status line says it short.
TEST_F(Port, AFailedOpenNamesTheDeviceTheCauseAndTheGroupToJoin) {
  settings.CWPort = "COM3";
  setenv("ORVEX_COM3", "/dev/orvex-adapter", 1);
  for (auto [err, status, words] :
       {std::tuple{EBUSY, "5, device in use.\r\n\r\n", "device in use"},
        {EACCES,
         "12, invalid access.\r\n\r\nYour user may not open /dev/orvex-adapter: add it to the "
         "group dialout (sudo adduser $USER dialout) and log in again.\r\n\r\n",
         "invalid access"}}) {
    keyer.openResult = Result::FromErrno(Fault::Open, err);
    EXPECT_FALSE(send.OpenCWPort(3).ok());
    EXPECT_EQ(
        sink.Last(),
        Text("CW Setup|Can't initialize CW port COM3 (/dev/orvex-adapter).\r\n\r\nStatus = ") +
            status + "Use Options/CW Options to change the port.");
    EXPECT_EQ(send.PortStatusText(), Text("COM3 (/dev/orvex-adapter) failed: ") + words);
  }
  keyer.openResult = {};
  ASSERT_TRUE(send.OpenCWPort(3).ok());
  EXPECT_EQ(send.PortStatusText(), "COM3 (/dev/orvex-adapter) open");
  unsetenv("ORVEX_COM3");
}

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

// Macros expanded into queue codes, serial numbers and times.
struct MacroCase {
  const char* input;
  Text full;
  Text limited;  // "=" means unchanged
};

class Macros : public ::testing::TestWithParam<MacroCase> {
 protected:
  static void SetUpTestSuite() { setenv("TZ", "EST5EDT", 1), tzset(); }
  Text Expand(const Text& t, bool full) {
    return ExpandMacros(t, full, {messages, him, me, clock, nr});
  }
  std::array<Text, 8> messages{"CQ CQ", "TU", "", "", "", "", "", ""};
  Text him = "G4XYZ";
  Text me = "DL1ABC";
  Text nr = "0T7";
  ManualClock clock{{2026, 3, 15, 14, 35, 7}};
};

TEST_P(Macros, ExpandInFullAndLimitedMode) {
  const MacroCase& c = GetParam();
  EXPECT_EQ(Expand(c.input, true), c.full);
  EXPECT_EQ(Expand(c.input, false), c.limited == "=" ? Text(c.input) : c.limited);
}

const Text P(1, static_cast<char>(kCodePause));
const Text R(1, static_cast<char>(kCodeRepeat));
const Text F(1, static_cast<char>(kCodeFile));
const Text S(1, static_cast<char>(kCodeSpeed)), Back = S + "=" + Text(1, '\0');
INSTANTIATE_TEST_SUITE_P(
    Rows, Macros,
    ::testing::Values(
        MacroCase{"NR # X", "NR # X", "="}, MacroCase{"##ME", "#DL1ABC", "#DL1ABC"},
        MacroCase{"#HIM DE #me", "G4XYZ DE DL1ABC", "G4XYZ DE DL1ABC"},
        MacroCase{"#time #Date#cr", "1435 03/15/26\r", "1435 03/15/26\r"},
        MacroCase{"#MESSAGE #HIMSELF #TIMEX", "DL1ABCSSAGE G4XYZSELF 1435X",
                  "DL1ABCSSAGE G4XYZSELF 1435X"},
        MacroCase{"#MSG1 K #MSG12", "CQ CQ K CQ CQ2", "="},
        MacroCase{"#MSG0 #MSG9 #MSG", "#MSG0 #MSG9 #MSG", "="},
        MacroCase{"#PAUSE5", P + "\x05", "="}, MacroCase{"#PAUSE 3.5", P + "\x04", "="},
        MacroCase{"#PAUSE 0 X", P + Text(1, '\0') + "X", "="},
        MacroCase{"#PAUSE WORD X", P + "\x01X", "="},
        MacroCase{"#PAUSE -3", P + Text(1, '\0'), "="},
        MacroCase{"CQ #REPEAT #ME", "CQ " + R, "CQ #REPEAT DL1ABC"},
        // The speed from here to the message's end, clamped; nonsense stays text.
        MacroCase{"#SPEED+6 5NN #speed-6 TU", S + "+\x06" + "5NN " + S + "-\x06" + "TU" + Back,
                  "="},
        MacroCase{"#SPEED 35 K #SPEED 200", S + "=#K " + S + "=c" + Back, "="},
        MacroCase{"#SPEED 0 #SPEED+X", "#SPEED 0 #SPEED+X", "="},
        // The serial number; #NEXT moves it on at the message's end.
        MacroCase{"TU #NR #NEXT K", "TU 0T7 K" + Text(1, static_cast<char>(kCodeNext)),
                  "TU 0T7 #NEXT K"},
        MacroCase{"#FILE", F + "  ", "="}, MacroCase{"#FILE a.txt TU", F + " a.txt TU", "="},
        MacroCase{"#FILE /tmp/#ME.txt", F + " /tmp/DL1ABC.txt ", "#FILE /tmp/DL1ABC.txt"},
        MacroCase{"#^c#^@#^?", Text("\x03\0\x7F", 3), Text("\x03\0\x7F", 3)},
        MacroCase{"A#^1B#^", "AB", "AB"}));

}  // namespace
}  // namespace orvex
