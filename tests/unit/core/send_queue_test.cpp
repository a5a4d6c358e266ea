#include "core/sending/send_queue.h"

#include <gtest/gtest.h>

#include <cctype>

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

TEST_F(Pump, TheKeyerQueueStaysShortWhileKeyboardSendingIsOn) {
  queue.QueueCW("55555", Slot::Message);
  EXPECT_LE(keyer.Pending(), 5 + 11);
  EXPECT_GT(queue.PendingText(), 0);
  send.SetKeyboardCW(false);  // before start-up ends, 200 may wait
  queue.PumpCW();
  EXPECT_EQ(queue.PendingText(), 0);
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

TEST_F(Pump, ARepeatThatKeysNothingEndsAndAPauseIsNoSpin) {
  queue.QueueMessage(Codes({kCodeRepeat}) + "\r\n");
  RunFor(500);
  EXPECT_TRUE(calls.empty());
  queue.QueueMessage(Codes({kCodePause, 1, kCodeRepeat}));  // a pause is no spin
  RunFor(3500);
  EXPECT_GE(timer.starts, 3);
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

TEST_F(Pump, TextThatDoesNotFitIsRefusedWholeWithABeep) {
  ASSERT_TRUE(queue.QueueCW(Text(32760, '#'), Slot::Message));  // no Morse: consumed at once
  queue.QueueCW(Codes({kCodePause, 5}), Slot::Message);         // hold everything
  ASSERT_TRUE(queue.QueueCW(Text(32767, 'E'), Slot::File));
  EXPECT_FALSE(queue.QueueCW("E", Slot::Message));
  EXPECT_EQ(beeper.beeps, 1);
  EXPECT_EQ(queue.SlotText(Slot::Message), "");
}

}  // namespace
}  // namespace orvex
