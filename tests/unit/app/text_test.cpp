#include "app/text.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(Text, EveryWindows1252ByteSurvivesARoundTripThroughUtf8) {
  Text all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = Cp1252ToUtf8(all);
  EXPECT_TRUE(IsValidUtf8(utf8));
  bool lossy = true;
  EXPECT_EQ(Utf8ToCp1252(utf8, &lossy), all);
  EXPECT_FALSE(lossy);
}

TEST(Text, KnownCodesMapToTheirCharacters) {
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\u20AC");  // euro sign
  EXPECT_EQ(Cp1252ToUtf8("\xC9"), "\u00C9");  // code 201, É
  EXPECT_EQ(Utf8ToCp1252("\u00C8\u00CA"), "\xC8\xCA");
  EXPECT_EQ(UpperCase("com3 \xE9\xFF"), "COM3 \xC9\x9F");  // accented letters too
}

TEST(Text, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  bool lossy = false;
  EXPECT_EQ(Utf8ToCp1252("a\u4E2Db", &lossy), "a?b");
  EXPECT_TRUE(lossy);
}

TEST(Text, FileTextIsUtf8OnlyWhenValidAndNotPlainAscii) {
  FileEncoding enc;
  EXPECT_EQ(DecodeFileText("Call=DL1ABC", &enc), "Call=DL1ABC");
  EXPECT_EQ(enc, FileEncoding::Windows1252);
  EXPECT_EQ(DecodeFileText("M=\xC3\x89T\xC3\x89", &enc), "M=\xC9T\xC9");
  EXPECT_EQ(enc, FileEncoding::Utf8);
  EXPECT_EQ(DecodeFileText("M=\xC9T\xC9", &enc), "M=\xC9T\xC9");  // not valid UTF-8
  EXPECT_EQ(enc, FileEncoding::Windows1252);
  EXPECT_EQ(DecodeFileText("\xEF\xBB\xBFx=1", &enc), "x=1");  // byte-order mark dropped
  EXPECT_EQ(enc, FileEncoding::Utf8);
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));  // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
}

}  // namespace
}  // namespace orvex
