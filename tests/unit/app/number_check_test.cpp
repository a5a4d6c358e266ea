#include "app/number_check.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

struct Case {
  const char* text;
  bool result;
  int16_t number;  // handed back (or the untouched start value 777)
};

TEST(IsNumberInRange, SpeedBoundsOneToNinetyNine) {
  const Case cases[] = {
      {"20", true, 20},    {" 20 ", true, 20},  {"0", false, 0},     {"99.5", false, 100},
      {"98.5", true, 98},  {"20x", false, 777}, {"", false, 777},    {"70000", false, 777},
      {"1", true, 1},      {"99", true, 99},    {"-5", false, -5},   {"+7", true, 7},
      {".5e1", true, 5},   {"2.5", true, 2},    {"1e1", true, 10},   {"   ", false, 777},
      {"1 2", false, 777}, {"e5", false, 777},  {"-", false, 777},   {"32768", false, 777},
      {"-32768", false, -32768},
  };
  for (const Case& c : cases) {
    int16_t number = 777;
    EXPECT_EQ(IsNumberInRange(c.text, 1, 99, &number), c.result) << '"' << c.text << '"';
    EXPECT_EQ(number, c.number) << '"' << c.text << '"';
  }
}

TEST(IsNumberInRange, ToneBoundsIncludeZero) {
  int16_t n = 0;
  EXPECT_TRUE(IsNumberInRange("0", 0, 9999, &n));
  EXPECT_TRUE(IsNumberInRange("9999", 0, 9999, &n));
  EXPECT_FALSE(IsNumberInRange("10000", 0, 9999, &n));
  EXPECT_EQ(n, 10000);
}

TEST(LeadingNumber, TakesTheNumberAtTheStartOnly) {
  EXPECT_EQ(LeadingNumber("25 =3"), 25);
  EXPECT_EQ(LeadingNumber("abc"), 0);
  EXPECT_EQ(LeadingNumber("-3.5xyz"), -3.5);
  EXPECT_EQ(LeadingNumber("1e3"), 1000);
  EXPECT_EQ(LeadingNumber("7e"), 7);  // marker without digits is not an exponent
  EXPECT_EQ(LeadingNumber(""), 0);
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(2.5, -10, 10), 2);
  EXPECT_EQ(RoundHalfEven(3.5, -10, 10), 4);
  EXPECT_EQ(RoundHalfEven(-2.5, -10, 10), -2);
  EXPECT_EQ(RoundHalfEven(2.6, -10, 10), 3);
  EXPECT_FALSE(RoundHalfEven(10.6, -10, 10));
  EXPECT_FALSE(RoundHalfEven(1.0 / 0.0, -10, 10));
}

}  // namespace
}  // namespace orvex
