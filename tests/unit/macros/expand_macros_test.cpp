#include "macros/expand_macros.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

class Macros : public ::testing::Test {
 protected:
  Text Full(const Text& t) { return ExpandMacros(t, true, Context()); }
  Text Limited(const Text& t) { return ExpandMacros(t, false, Context()); }
  MacroContext Context() { return {messages, him, me, clock}; }

  std::array<Text, 8> messages{"CQ CQ", "TU", "", "", "", "", "", ""};
  Text him = "G4XYZ";
  Text me = "DL1ABC";
  ManualClock clock{{2026, 3, 15, 14, 35, 7}};
};

TEST_F(Macros, PlainTextAndLoneHashesStay) {
  EXPECT_EQ(Full(""), "");
  EXPECT_EQ(Full("CQ TEST"), "CQ TEST");
  EXPECT_EQ(Full("NR #"), "NR #");
  EXPECT_EQ(Full("# X"), "# X");
  EXPECT_EQ(Full("##ME"), "#DL1ABC");  // the second "#" is examined on its own
}

TEST_F(Macros, CallsTimeDateAndCarriageReturn) {
  EXPECT_EQ(Full("#HIM DE #ME"), "G4XYZ DE DL1ABC");
  EXPECT_EQ(Full("#time #date"), "1435 03/15/26");
  EXPECT_EQ(Full("#Me#cr"), "DL1ABC\r");
  EXPECT_EQ(Full("#MESSAGE #HIMSELF #TIMEX"), "DL1ABCSSAGE G4XYZSELF 1435X");
  him.clear();
  EXPECT_EQ(Full("TU #HIM 73"), "TU  73");
}

TEST_F(Macros, StoredMessagesNestAndStopAtTheLimits) {
  EXPECT_EQ(Full("#MSG1 K"), "CQ CQ K");
  EXPECT_EQ(Full("#MSG12"), "CQ CQ2");
  EXPECT_EQ(Full("#MSG0 #MSG9 #MSG"), "#MSG0 #MSG9 #MSG");
  EXPECT_EQ(Limited("#MSG1"), "#MSG1");
  messages[2] = "#MSG2 #MSG3";  // message 3 uses message 2 and itself
  const Text grown = Full("#MSG3");
  EXPECT_NE(grown.find("#MSG3"), Text::npos);  // the last one stays as text
  EXPECT_LT(grown.size(), 1100u);
  messages[0] = "AB #MSG1";
  const Text chain = Full("#MSG1");
  EXPECT_EQ(chain.substr(chain.size() - 5), "#MSG1");
  EXPECT_EQ(chain.size(), 50u * 3 + 5);  // 50 insertions; the 51st "#" is never examined
}

TEST_F(Macros, PauseTakesItsArgumentInSecondsUpToThirty) {
  EXPECT_EQ(Full("#PAUSE 5 QRL?"), Text("\xCD\x05QRL?"));
  EXPECT_EQ(Full("#PAUSE5"), Text("\xCD\x05"));
  EXPECT_EQ(Full("A #PAUSE 45 B"), Text("A \xCD\x1E" "B"));
  EXPECT_EQ(Full("#PAUSE 2.5"), Text("\xCD\x02"));
  EXPECT_EQ(Full("#PAUSE 3.5"), Text("\xCD\x04"));
  EXPECT_EQ(Full("#PAUSE 0 X"), Text("\xCD\x00X", 3));
  EXPECT_EQ(Full("#PAUSE"), Text("\xCD\x01"));
  EXPECT_EQ(Full("#PAUSE   "), Text("\xCD\x01"));
  EXPECT_EQ(Full("#PAUSE WORD X"), Text("\xCD\x01X"));  // the word is consumed
  EXPECT_EQ(Full("#PAUSE -3"), Text("\xCD\x00", 2));
  EXPECT_EQ(Full("#PAUSE 99999"), Text("\xCD\x1E"));
  EXPECT_EQ(Limited("#PAUSE 5"), "#PAUSE 5");
}

TEST_F(Macros, RepeatEndsTheTextInFullModeOnly) {
  EXPECT_EQ(Full("CQ #REPEAT #ME"), Text("CQ \xCE"));
  EXPECT_EQ(Limited("CQ #REPEAT #ME"), "CQ #REPEAT DL1ABC");
}

TEST_F(Macros, FileNamesAreFramedAndExpanded) {
  EXPECT_EQ(Full("#FILE log.txt"), Text("\xCF log.txt "));
  EXPECT_EQ(Full("#FILE"), Text("\xCF  "));
  EXPECT_EQ(Full("#FILE a.txt TU"), Text("\xCF a.txt TU"));
  EXPECT_EQ(Full("#FILE /tmp/#ME.txt"), Text("\xCF /tmp/DL1ABC.txt "));
  EXPECT_EQ(Limited("#FILE x"), "#FILE x");
}

TEST_F(Macros, ControlCharacters) {
  EXPECT_EQ(Full("#^c"), Text("\x03"));
  EXPECT_EQ(Full("#^@X"), Text("\0X", 2));
  EXPECT_EQ(Full("#^[#^\\#^]#^^#^_#^?"), Text("\x1B\x1C\x1D\x1E\x1F\x7F"));
  EXPECT_EQ(Full("A#^1B"), "AB");
  EXPECT_EQ(Full("A#^"), "A");
}

TEST_F(Macros, OnlyFiftyHashesAreExamined) {
  Text input;
  for (int i = 0; i < 51; ++i) input += "#CR";
  EXPECT_EQ(Full(input), Text(50, '\r') + "#CR");
}

TEST_F(Macros, TextAfterAReplacementKeepsAtMost999Characters) {
  const Text input = "#ME" + Text(2000, 'x');
  EXPECT_EQ(Full(input), "DL1ABC" + Text(999, 'x'));
}

}  // namespace
}  // namespace orvex
