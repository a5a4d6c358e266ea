#include <gtest/gtest.h>

#include <clocale>

#include "base/numbers.h"
#include "base/text.h"
#include "support/files.h"

namespace orvex {
namespace {

TEST(Text, EveryCharacterSurvivesAndThoseOutsideWindows1252AreNeverKeyable) {
  Text all;
  for (int b = 0; b < 256; ++b)
    if (b != 0x81) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  const std::string wide = "\u0141\u0443 \u4E2D \U0001F4FB \u0081";  // Ł, Cyrillic, CJK, emoji, C1
  const Text text = Utf8ToCp1252(wide);
  EXPECT_EQ(Cp1252ToUtf8(text), wide);
  EXPECT_EQ(Cp1252ToUtf8(UpperCase(text)), wide);
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    EXPECT_TRUE(b == ' ' || b == 0x81 || (b >= 0x90 && b <= 0x9F))
        << int(b);  // no Morse, no command
  }
  EXPECT_EQ(Cp1252ToUtf8(CutText(text, 10)), "\u0141");  // never through a character
  EXPECT_EQ(EncodeFileText("\xC9" + text, FileEncoding::Windows1252), "\u00C9" + wide);
  EXPECT_EQ(UpperCase("com3 \xE9\xFF"), "COM3 \xC9\x9F");
}

TEST(Text, FileTextIsUtf8OnlyWhenValidAndNotPlainAscii) {
  FileEncoding enc;
  EXPECT_EQ(DecodeFileText("Call=DL1ABC", &enc), "Call=DL1ABC");
  EXPECT_EQ(enc, FileEncoding::Windows1252);
  EXPECT_EQ(DecodeFileText("M=\xC3\x89T", &enc), "M=\xC9T");
  EXPECT_EQ(enc, FileEncoding::Utf8);
  EXPECT_EQ(DecodeFileText("\xEF\xBB\xBFx=1", &enc), "x=1");  // a byte-order mark
  EXPECT_EQ(enc, FileEncoding::Utf8);
  // Windows-1252's undefined 0x81 is a character of its own, whatever follows.
  const std::string odd = "\x81\x90\x90\x90\x90\x90\x91\xFF";
  EXPECT_EQ(Cp1252ToUtf8(DecodeFileText(odd, &enc)).substr(0, 4), "\u0081\u0090");
  EXPECT_EQ(EncodeFileText(DecodeFileText(odd), enc), odd);
  const Text cut = DecodeFileText("\xC3\x81T\xFF").substr(0, 9);  // bytes that read as UTF-8
  EXPECT_EQ(DecodeFileText(EncodeFileText(cut, FileEncoding::Windows1252)), cut);
}

struct NumberCase {
  const char* text;
  bool result;
  int16_t number;  // handed back, or the untouched 777
};

class SpeedCheck : public ::testing::TestWithParam<NumberCase> {};

TEST_P(SpeedCheck, RoundsHalvesToEvenAndChecksOneToNinetyNine) {
  int16_t number = 777;
  EXPECT_EQ(IsNumberInRange(GetParam().text, 1, 99, &number), GetParam().result);
  EXPECT_EQ(number, GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Typed, SpeedCheck,
    ::testing::Values(NumberCase{" 20 ", true, 20}, NumberCase{"0", false, 0},
                      NumberCase{"99.5", false, 100}, NumberCase{"98.5", true, 98},
                      NumberCase{".5e1", true, 5}, NumberCase{"20x", false, 777},
                      NumberCase{"", false, 777}, NumberCase{"70000", false, 777}));

TEST(Numbers, AreReadAndWrittenTheSameUnderACommaLocale) {
  // The window runs in the user's locale (Qt sets it); de_DE writes 10,5.
  test::TempDir locales;
  const std::string make = "localedef -i de_DE -f UTF-8 " + locales.File("de_DE.UTF-8");
  ASSERT_EQ(std::system((make + " >/dev/null 2>&1").c_str()), 0);
  setenv("LOCPATH", locales.path().c_str(), 1);
  ASSERT_TRUE(setlocale(LC_ALL, "de_DE.UTF-8"));
  int16_t speed = 0;
  EXPECT_TRUE(IsNumberInRange("25.5", 1, 99, &speed));
  EXPECT_EQ(speed, 26);
  EXPECT_EQ(LeadingNumber("10.5"), 10.5);
  EXPECT_EQ(DecimalText(10.5f), "10.5");
  setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
}

}  // namespace
}  // namespace orvex
