#include "keying/morse_table.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

// The element table entry written as dots and dashes: a key-down of 1 is
// ".", of 3 is "-"; extra key-up units beyond the 1 after each element and
// the 2 ending the character show as blanks.
std::string Pattern(const ElementTable& table, unsigned char c) {
  const Text& e = table[c];
  std::string out;
  for (size_t i = 0; i + 1 < e.size(); i += 2) {
    const auto state = static_cast<unsigned char>(e[i]);
    const int units = static_cast<unsigned char>(e[i + 1]);
    if (state == kKeyDown) out += units == 1 ? "." : "-";
  }
  return out;
}

class Tables : public ::testing::Test {
 protected:
  MorseTable morse = FillMorseTable();
  ElementTable table = BuildElementTable(morse);
};

TEST_F(Tables, PairsFollowTheElements) {
  EXPECT_EQ(table['a'], Text("\x00\x01\x80\x01\x00\x03\x80\x01\x80\x02", 10));
  EXPECT_EQ(table[' '], Text("\x80\x01\x80\x02", 4));
  EXPECT_EQ(table[256], "");
}

TEST_F(Tables, BothCasesAndAccentedPairsMatch) {
  for (char c = 'a'; c <= 'z'; ++c) EXPECT_EQ(table[c], table[c - 32]) << c;
  const unsigned char pairs[][2] = {{193, 225}, {196, 228}, {197, 229}, {201, 233},
                                    {209, 241}, {214, 246}, {220, 252}};
  for (auto [upper, lower] : pairs) {
    EXPECT_EQ(table[upper], table[lower]);
    EXPECT_FALSE(table[upper].empty());
  }
}

TEST_F(Tables, InternationalCodesAndSigns) {
  EXPECT_EQ(Pattern(table, 'Q'), "--.-");
  EXPECT_EQ(Pattern(table, 'Y'), "-.--");
  EXPECT_EQ(Pattern(table, '5'), ".....");
  EXPECT_EQ(Pattern(table, '0'), "-----");
  EXPECT_EQ(Pattern(table, '~'), "........");
  EXPECT_EQ(Pattern(table, '@'), "...-.-");
  EXPECT_EQ(Pattern(table, '%'), ".-...");
  EXPECT_EQ(Pattern(table, '!'), "...-.");
  EXPECT_EQ(Pattern(table, '?'), "..--..");
  EXPECT_EQ(Pattern(table, 201), "..-..");
}

TEST_F(Tables, CharactersWithoutCodeSendNothing) {
  for (unsigned char c : std::string("#&*<>[]{}|\\`^\r\n\t")) EXPECT_EQ(table[c], "") << c;
  int withCode = 0;
  for (int c = 128; c < 256; ++c) withCode += !table[c].empty();
  EXPECT_EQ(withCode, 14);
  // Command codes never reach the table; 201 is the letter É.
  for (int c : {200, 202, 203, 204, 205, 206, 207}) EXPECT_EQ(table[c], "") << c;
}

}  // namespace
}  // namespace orvex
