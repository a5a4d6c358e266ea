#include "config/menu_captions.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(MessageMenuCaptions, TrimsCutsAndNumbersTheCaption) {
  MessageMenuCaptions c;
  c.SetMessageMenuCaption(3, "  CQ TEST  ");
  EXPECT_EQ(c.Caption(3), "&3: CQ TEST");
  c.SetMessageMenuCaption(1, std::string(20, 'x'));
  EXPECT_EQ(c.Caption(1), "&1: " + std::string(20, 'x'));
  c.SetMessageMenuCaption(2, std::string(25, 'y'));
  EXPECT_EQ(c.Caption(2), "&2: " + std::string(20, 'y') + "...");
  c.SetMessageMenuCaption(8, "");
  EXPECT_EQ(c.Caption(8), "&8: ");
}

TEST(MessageMenuCaptions, NumbersOutsideOneToEightAreIgnored) {
  MessageMenuCaptions c;
  int calls = 0;
  c.SetListener([&](int, const Text&) { ++calls; });
  c.SetMessageMenuCaption(0, "x");
  c.SetMessageMenuCaption(9, "x");
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(c.Caption(0), "");
  EXPECT_EQ(c.Caption(9), "");
  c.SetMessageMenuCaption(4, "x");
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace orvex
