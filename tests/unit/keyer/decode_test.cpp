// What orvex-send renders, an independent decoder reads: multimon-ng's CW
// demodulator takes the WAV's samples back to text.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "test_support.h"

namespace orvex {
namespace {

std::string Output(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[256];
  while (fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  return out;
}

std::string WithoutSpaces(std::string s) {
  std::string out;
  for (char c : s)
    if (c != ' ' && c != '\n') out += c;
  return out;
}

class Decode : public ::testing::TestWithParam<int> {};

TEST_P(Decode, MultimonReadsBackTheSentence) {
  test::TempDir dir;
  const std::string wav = dir.File("cq.wav");
  const std::string sentence = "CQ CQ DE DL1ABC 599 TU, 73? QRV = 0123456789 / THE END.";
  const std::string send = std::string(ORVEX_SEND_BINARY) + " --ini " + dir.File("none.ini") +
                           " --wpm " + std::to_string(GetParam()) + " --wav " + wav +
                           " --text '" + sentence + "'";
  ASSERT_EQ(std::system(send.c_str()), 0);
  // Raw samples after the 44-byte header: what multimon-ng reads at 22050 Hz.
  const std::string decoded =
      Output("tail -c +45 " + wav + " | multimon-ng -q -c -a MORSE_CW -t raw - 2>/dev/null");
  ASSERT_FALSE(decoded.empty()) << "multimon-ng missing or silent";
  // Words are 6 units apart in Orvex's timing, a little under the standard 7,
  // so the decoder's word breaks are not compared; every character is.
  EXPECT_EQ(WithoutSpaces(decoded), WithoutSpaces(sentence)) << decoded;
}

INSTANTIATE_TEST_SUITE_P(Speeds, Decode, ::testing::Values(15, 20, 25));

}  // namespace
}  // namespace orvex

namespace orvex {
namespace {

TEST(DecodeMessage, AStoredMessageRendersToItsExpansion) {
  test::TempDir dir;
  test::WriteFile(dir.File("orvex.ini"),
                  "Call=DL1ABC\r\nMsgCW3=#HIM DE #ME UR 599 #PAUSE 1 TU #TIME\r\n");
  const std::string wav = dir.File("out.wav");
  const std::string send = "TZ=UTC " + std::string(ORVEX_SEND_BINARY) + " --ini " +
                           dir.File("orvex.ini") + " --him G4XYZ --now 2026-03-15T14:35:07" +
                           " --wpm 18 --msg 3 --wav " + wav;
  ASSERT_EQ(std::system(send.c_str()), 0);
  const std::string decoded =
      Output("tail -c +45 " + wav + " | multimon-ng -q -c -a MORSE_CW -t raw - 2>/dev/null");
  EXPECT_EQ(WithoutSpaces(decoded), "G4XYZDEDL1ABCUR599TU1435") << decoded;
}

}  // namespace
}  // namespace orvex
