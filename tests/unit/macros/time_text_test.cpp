#include "macros/time_text.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

namespace orvex {
namespace {

// Runs with TZ fixed, so local and UTC differ by a known offset.
class TimeTexts : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = getenv("TZ");
    saved_ = tz ? tz : "";
    had_ = tz != nullptr;
    setenv("TZ", "EST5EDT", 1);  // 15 March 2026 is daylight time: UTC-4
    tzset();
  }
  void TearDown() override {
    if (had_)
      setenv("TZ", saved_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  std::string saved_;
  bool had_ = false;
};

TEST_F(TimeTexts, TheTenModes) {
  ManualClock clock({2026, 3, 15, 14, 35, 7});
  const std::pair<int, const char*> cases[] = {
      {1, "03/15/26"},          {2, "1435"},  {3, "14:35:07"},          {4, "03/15/26 14:35"},
      {5, "03/15/26 14:35:07"}, {6, "03/15/26"}, {7, "1835"},         {8, "18:35:07"},
      {9, "03/15/26 18:35"},    {10, "03/15/26 18:35:07"}, {0, ""},   {11, ""},
      {-1, ""}};
  for (auto [mode, text] : cases)
    EXPECT_EQ(TimeText(static_cast<int16_t>(mode), "", clock), text) << mode;
}

TEST_F(TimeTexts, LeadingZerosAndTwoDigitYears) {
  ManualClock clock({2001, 1, 5, 9, 5, 0});
  EXPECT_EQ(TimeText(1, "", clock), "01/05/01");
  EXPECT_EQ(TimeText(2, "", clock), "0905");
  ManualClock y2k({2000, 12, 31, 23, 59, 59});
  EXPECT_EQ(TimeText(1, "", y2k), "12/31/00");
}

TEST_F(TimeTexts, UtcFollowsTheClockAcrossMidnight) {
  ManualClock clock({2026, 3, 15, 22, 0, 0});
  EXPECT_EQ(TimeText(6, "", clock), "03/16/26");
  clock.Advance(3 * 3600 * 1000);
  EXPECT_EQ(TimeText(1, "", clock), "03/16/26");
  EXPECT_EQ(TimeText(2, "", clock), "0100");
}

TEST_F(TimeTexts, Patterns) {
  ManualClock clock({2026, 3, 15, 14, 35, 7});
  EXPECT_EQ(TimeText(4, "dd-mmm-yy hhnn", clock), "15-Mar-26 1435");
  EXPECT_EQ(TimeText(5, "yyyy/mm/dd hh:nn:ss", clock), "2026/03/15 14:35:07");
  EXPECT_EQ(TimeText(9, "d.m. h\\h", clock), "15.3. 18h");
  EXPECT_EQ(TimeText(2, "hh:nn", clock), "14:35");
  EXPECT_EQ(TimeText(0, "hh:nn", clock), "");
}

TEST(MonthAbbrev, TwelveMonthsAndNothingElse) {
  EXPECT_EQ(MonthAbbrev(1), "Jan");
  EXPECT_EQ(MonthAbbrev(12), "Dec");
  EXPECT_EQ(MonthAbbrev(0), "");
  EXPECT_EQ(MonthAbbrev(13), "");
}

}  // namespace
}  // namespace orvex
