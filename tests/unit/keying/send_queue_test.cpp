#include "keying/send_queue.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "keying/send_fakes.h"
#include "keying/sim_keyer.h"

namespace orvex {
namespace {

class Pump : public ::testing::Test {
 protected:
  void SetUp() override {
    keying.Morse = FillMorseTable();
    keying.Elements = BuildElementTable(keying.Morse);
    keying.KeyboardCW = true;
    keyer.Unit(10);
    calls.clear();
    queue.SetTypeAhead(&typed);
    queue.SetFileStarter([this](const Text& name) { files.push_back(name); });
  }
  // Runs the 100 ms tick for ms of simulated time.
  void Run(int ms) {
    for (int t = 0; t < ms; t += 100) {
      clock.Advance(100);
      timer.FireIfDue();
      queue.PumpCW();
      queue.CWIdleCheck();
    }
  }
  // The keying as text: "." and "-" for key-downs, other calls by name.
  std::string Keyed() const {
    std::string out;
    for (const std::string& c : calls) {
      if (c == "ELEMENT 0 1") out += ".";
      else if (c == "ELEMENT 0 3") out += "-";
      else if (c.rfind("ELEMENT 128", 0) == 0 && c != "ELEMENT 128 1") out += " ";
      else if (c.rfind("ELEMENT", 0) != 0) out += "[" + c + "]";
    }
    return out;
  }
  int Count(const std::string& call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
  }

  ManualClock clock;
  std::vector<std::string> calls;
  SimKeyer keyer{clock, [this](const std::string& c) { calls.push_back(c); }};
  KeyingState keying;
  EnvSettings settings;
  test::FakeTimer timer{clock};
  test::CountingBeeper beeper;
  test::FakeTypeAhead typed;
  std::vector<Text> files;
  SendQueue queue{keyer, keying, settings, clock, timer, beeper};
};

TEST_F(Pump, LevelsAreStrictPriorities) {
  queue.QueueCW("5", 3);  // eleven elements: the keyer is busy for a while
  typed.line = "T";
  queue.QueueCW("I", 3);
  queue.QueueCW("M", 2);
  Run(2000);
  EXPECT_EQ(Keyed(), "..... -- .. - [IDLE 0 0]");
}

TEST_F(Pump, TheKeyerQueueStaysShort) {
  queue.QueueCW("55555", 3);  // 5 dots a character: 11 elements each
  EXPECT_LE(keyer.Pending(), 5 + 11);
  EXPECT_GT(queue.PendingText(), 0);
  keying.KeyboardCW = false;  // before start-up ends, 200 may wait
  queue.PumpCW();
  EXPECT_EQ(queue.PendingText(), 0);
}

TEST_F(Pump, LineEndsAndCharactersWithoutCodeMakeNoCalls) {
  queue.QueueCW("\r\n#&\r\n", 3);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(queue.PendingText(), 0);
}

TEST_F(Pump, ANoticeIsFramedForTheSidetoneAtTheRaisedPitch) {
  settings.CWPort = "COM1";
  settings.CWTone = 700;
  queue.QueueCW("5", 3);  // keep the keyer busy to see the slot as queued
  calls.clear();
  queue.QueueCW("E", 1);
  EXPECT_EQ(queue.Slot(1), Text("  ") + "\xCA\xCB" "E" "\xCC\xC8" + "  ");
  Run(1000);
  EXPECT_EQ(Keyed(), "  [KEYLINE 0 0][TONE 0 750]. [TONE 0 700][KEYLINE 0 1]  [IDLE 0 0]");
}

TEST_F(Pump, PitchCommandsFollowTheSidetoneSetting) {
  settings.CWSidetone_Enable = 0;
  settings.CWSidetone_Device = 4;
  settings.CWTone = 0;
  queue.QueueCW("\xCB\xCC", 3);
  EXPECT_EQ(Keyed(), "[SIDETONE 0 4][TONE 0 600][SIDETONE 0 0]");
  calls.clear();
  settings.CWPort.clear();  // no port name: the key line commands do nothing
  queue.QueueCW("\xC8\xCA", 3);
  EXPECT_TRUE(calls.empty());
}

TEST_F(Pump, CommandsWaitForEverythingBeforeThemAndPausesHold) {
  queue.QueueCW(Text("E\xCD\x02T"), 3);
  EXPECT_EQ(timer.starts, 0);  // E is still being keyed
  Run(100);
  EXPECT_EQ(timer.starts, 1);
  EXPECT_EQ(timer.lastMs, 2000);
  EXPECT_TRUE(queue.Pausing());
  queue.QueueCW("I", 3);  // nothing else is sent while the pause waits
  typed.line = "A";
  Run(1800);
  EXPECT_EQ(Keyed(), ". ");
  EXPECT_EQ(typed.line, "A");
  Run(300);
  EXPECT_FALSE(queue.Pausing());
  EXPECT_EQ(Keyed().substr(0, 7), ". - .. ");
}

TEST_F(Pump, APauseOfZeroContinuesAtOnceAndOneWithoutArgumentIsDropped) {
  queue.QueueCW(Text("\xCD\x00" "E", 3), 3);
  EXPECT_EQ(Keyed(), ". ");
  EXPECT_FALSE(queue.Pausing());
  typed.line = "\xCD";
  Run(300);
  EXPECT_FALSE(queue.Pausing());
  EXPECT_EQ(timer.starts, 0);
}

TEST_F(Pump, PauseArgumentsAboveThirtySecondsAreCut) {
  typed.line.clear();
  queue.QueueCW("\xCD" "Z", 2);  // "Z" is code 90
  EXPECT_EQ(timer.lastMs, 30000);
}

TEST_F(Pump, StopEndsAPauseAndEmptiesTheQueue) {
  queue.QueueCW(Text("\xCD\x05" "EEE"), 3);
  ASSERT_TRUE(queue.Pausing());
  queue.Clear();
  EXPECT_FALSE(queue.Pausing());
  EXPECT_FALSE(timer.Running());
  EXPECT_EQ(queue.PendingText(), 0);
  queue.QueueCW("T", 3);  // sending works again at once
  EXPECT_EQ(Keyed(), "- ");
}

TEST_F(Pump, ARepeatSendsTheMessageAgainUntilANewerOneReplacesIt) {
  queue.LastMessage = "E\xCE";
  queue.QueueCW(queue.LastMessage, 3);
  Run(2000);
  const int dots = Count("ELEMENT 0 1");
  EXPECT_GT(dots, 5);
  queue.LastMessage = "T\r\n";
  queue.QueueCW(queue.LastMessage, 3);
  Run(2000);
  EXPECT_EQ(Count("ELEMENT 0 3"), 1);  // the newest message, once
  EXPECT_LE(Count("ELEMENT 0 1"), dots + 1);
  EXPECT_EQ(queue.PendingText(), 0);
}

TEST_F(Pump, ARepeatThatKeysNothingDoesNotSpin) {
  queue.LastMessage = "\xCE\r\n";
  queue.QueueCW(queue.LastMessage, 3);
  EXPECT_EQ(queue.PendingText(), 0);
  Run(500);
  EXPECT_EQ(queue.PendingText(), 0);
  EXPECT_TRUE(calls.empty());
  // A repeating pause is no spin: it waits each time round.
  queue.LastMessage = Text("\xCD\x01\xCE");
  queue.QueueCW(queue.LastMessage, 3);
  Run(3500);
  EXPECT_GE(timer.starts, 3);
}

TEST_F(Pump, ARepeatOutsideTheMessageSlotIsDropped) {
  queue.QueueCW("\xCE" "E", 2);
  typed.line = "\xCE";
  Run(500);
  EXPECT_EQ(Keyed(), ". [IDLE 0 0]");
  EXPECT_EQ(queue.PendingText(), 0);
}

TEST_F(Pump, AFileCommandNamesItsFileAndGoesFirst) {
  queue.SetFileStarter([this](const Text& name) {
    files.push_back(name);
    queue.QueueCW("T", 2);  // the file's first line
  });
  queue.QueueCW(Text("\xCF log.txt I"), 3);
  EXPECT_EQ(files, std::vector<Text>{"log.txt"});
  EXPECT_EQ(Keyed().substr(0, 2), "- ");  // the file's line before the rest of the message
  Run(1000);
  EXPECT_EQ(Keyed(), "- .. [IDLE 0 0]");
  files.clear();
  queue.QueueCW(Text("\xCF  "), 3);
  Run(500);  // the next command waits until that file's line has gone
  queue.QueueCW(Text("\xCF"), 3);
  EXPECT_EQ(files, (std::vector<Text>{"???", "???"}));
}

TEST_F(Pump, TypedCharactersLeaveTheLineOneAPass) {
  typed.line = "EEE";
  queue.PumpCW();
  EXPECT_EQ(typed.line, "EE");
  queue.PumpCW();  // the first E went to the keyer, so the next one moves
  EXPECT_EQ(typed.line, "E");
  keying.KeyboardCW = false;
  Run(500);
  EXPECT_EQ(typed.line, "E");  // no keyboard sending before start-up ends
}

TEST_F(Pump, TypedCommandLettersActAsCommandsButEAcuteIsALetter) {
  settings.CWPort = "COM1";
  typed.line = "\xCA\xC9\xC8";
  Run(1000);
  EXPECT_EQ(Keyed(), "[KEYLINE 0 0]..-.. [KEYLINE 0 1][IDLE 0 0]");
}

TEST_F(Pump, TheQueueRefusesTextThatDoesNotFitWhole) {
  keying.KeyboardCW = true;
  ASSERT_TRUE(queue.QueueCW(Text(32760, '#'), 3));  // no Morse code: consumed at once
  EXPECT_EQ(queue.PendingText(), 0);
  queue.QueueCW(Text("\xCD\x05"), 3);  // hold everything in a pause
  ASSERT_TRUE(queue.QueueCW(Text(32767, 'E'), 2));
  EXPECT_FALSE(queue.QueueCW("E", 3));
  EXPECT_EQ(beeper.beeps, 1);
  EXPECT_EQ(queue.Slot(3), "");
  EXPECT_FALSE(queue.QueueCW("", 0));
  EXPECT_FALSE(queue.QueueCW("E", 5));
  EXPECT_EQ(beeper.beeps, 1);
}

TEST_F(Pump, TheIdleCheckWaitsForTheLastElement) {
  queue.QueueCW("T", 3);
  queue.CWIdleCheck();
  EXPECT_EQ(Count("IDLE 0 0"), 0);
  Run(200);
  EXPECT_EQ(Count("IDLE 0 0"), 1);
  Run(200);
  EXPECT_EQ(Count("IDLE 0 0"), 1);  // only once: the keyer is idle now
}

}  // namespace
}  // namespace orvex
