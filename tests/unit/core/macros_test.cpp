#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include "core/macros/expand_macros.h"
#include "core/macros/queue_codes.h"
#include "core/macros/time_text.h"

namespace orvex {
namespace {

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

TEST_F(Macros, LimitsPassesRemainderAndNesting) {
  Text crs;
  for (int i = 0; i < 51; ++i) crs += "#CR";
  EXPECT_EQ(Expand(crs, true), Text(50, '\r') + "#CR");  // only 50 "#" are examined
  EXPECT_EQ(Expand("#ME" + Text(2000, 'x'), true), "DL1ABC" + Text(999, 'x'));
  messages[0] = "AB #MSG1";  // a message that uses itself
  const Text chain = Expand("#MSG1", true);
  EXPECT_EQ(chain.substr(chain.size() - 5), "#MSG1");
  EXPECT_EQ(chain.size(), 50u * 3 + 5);
  messages[2] = "#MSG2 #MSG3";
  EXPECT_LT(Expand("#MSG3", true).size(), 1100u);  // the 1000-character limit
}

TEST(SerialNumber, LeadingZerosAndCutLetters) {
  EXPECT_EQ(SerialNumberText(1234, 3, ""), "1234");
  EXPECT_EQ(SerialNumberText(190, 3, "0912"), "ANT");
  EXPECT_EQ(SerialNumberText(4657, 1, "0123456789"), "46EB");  // 4 and 6 have no cut
}

TEST(TimeText, TheTenModesLeadingZerosAndPatterns) {
  setenv("TZ", "EST5EDT", 1);  // 15 March 2026 is daylight time: UTC-4
  tzset();
  ManualClock clock({2026, 3, 15, 14, 35, 7});
  const std::pair<int, const char*> modes[] = {{5, "03/15/26 14:35:07"}, {7, "1835"}, {11, ""}};
  for (auto [mode, text] : modes)
    EXPECT_EQ(TimeText(static_cast<int16_t>(mode), "", clock), text) << mode;
  ManualClock early({2001, 1, 5, 9, 5, 0});
  EXPECT_EQ(TimeText(2, "", early), "0905");
  ManualClock late({2026, 3, 15, 22, 0, 0});
  EXPECT_EQ(TimeText(6, "", late), "03/16/26");  // UTC is past midnight already
  EXPECT_EQ(TimeText(4, "dd-mmm-yy hhnn", clock), "15-Mar-26 1435");
  EXPECT_EQ(TimeText(9, "d.m. h\\h", clock), "15.3. 18h");
}

}  // namespace
}  // namespace orvex
