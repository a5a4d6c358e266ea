#include "app/message.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace orvex {
namespace {

TEST(ShowMessage, AddsAFullStopUnlessTheTextEndsInOne) {
  EXPECT_EQ(FormatMessage("Speed must be 1 - 99", std::nullopt), "Speed must be 1 - 99.");
  EXPECT_EQ(FormatMessage("Done!", std::nullopt), "Done!");
  EXPECT_EQ(FormatMessage("Line 1 ", std::nullopt), "Line 1 ");
  EXPECT_EQ(FormatMessage("Really?", std::nullopt), "Really?.");
  EXPECT_EQ(FormatMessage("", std::nullopt), ".");
  EXPECT_EQ(FormatMessage("Ends.", std::nullopt), "Ends.");
}

TEST(ShowMessage, ErrorGoesOnASecondLineWithNumberAndDescription) {
  EXPECT_EQ(FormatMessage("Couldn't open x.txt", ErrorInfo{53, "File not found"}),
            "Couldn't open x.txt.\r\n(53) File not found.");
  EXPECT_EQ(FormatMessage("A", ErrorInfo{1, "Already ends."}), "A.\r\n(1) Already ends.");
  EXPECT_EQ(FormatMessage("A", ErrorInfo{1, "Wow!"}), "A.\r\n(1) Wow!");
  // A trailing blank no longer keeps the stop away on the error line.
  EXPECT_EQ(FormatMessage("A ", ErrorInfo{2, "Blank "}), "A \r\n(2) Blank .");
}

TEST(ShowMessage, ShowsOneWarningBoxWithTheTitle) {
  test::RecordingSink sink;
  ShowMessage(sink, "Speed must be 1 - 99", std::nullopt, "Set CW Options");
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].title, "Set CW Options");
  EXPECT_EQ(sink.boxes[0].text, "Speed must be 1 - 99.");
  EXPECT_TRUE(sink.boxes[0].warning);
}

TEST(ErrorFromErrno, CarriesTheSystemDescription) {
  const ErrorInfo e = ErrorFromErrno(ENOENT);
  EXPECT_EQ(e.number, ENOENT);
  EXPECT_EQ(e.description, "No such file or directory");
}

}  // namespace
}  // namespace orvex
