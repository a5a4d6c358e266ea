#include "app/placement.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(CentredPosition, CentresAndNeverGoesNegative) {
  EXPECT_EQ(CentredPosition(1024, 768, 490, 80).x, 267);
  EXPECT_EQ(CentredPosition(1024, 768, 490, 80).y, 344);
  EXPECT_EQ(CentredPosition(1024, 768, 1021, 765).x, 2);  // 1.5 rounds to even
  EXPECT_EQ(CentredPosition(1024, 768, 1019, 763).x, 2);  // 2.5 rounds to even
  const Point big = CentredPosition(800, 600, 1000, 700);  // larger than the screen
  EXPECT_EQ(big.x, 0);
  EXPECT_EQ(big.y, 0);
}

EnvSettings Saved(int32_t top, int16_t state = 0) {
  EnvSettings s;
  s.PacketTop = top;
  s.PacketLeft = 300;
  s.PacketWidth = 7350;
  s.PacketHeight = 1200;
  s.PacketState = state;
  return s;
}

TEST(UpdatePlacement, NormalWindowStoresItsPlacementOnlyWhenItMoved) {
  EnvSettings s = Saved(150);
  EXPECT_EQ(UpdatePlacement(s, WindowState::Normal, {150, 300, 7350, 1200}),
            PlacementResult::Unchanged);
  EXPECT_EQ(UpdatePlacement(s, WindowState::Normal, {165, 300, 7350, 1200}),
            PlacementResult::Changed);
  EXPECT_EQ(s.PacketTop, 165);
  // At a dpi other than 96 pixels are fractions of twips: whole twips compare.
  EXPECT_EQ(UpdatePlacement(s, WindowState::Normal, {165.2, 299.8, 7350.4, 1199.6}),
            PlacementResult::Unchanged);
}

TEST(UpdatePlacement, NoSavedPlacementAlwaysCountsAsAChange) {
  EnvSettings s = Saved(-1);
  EXPECT_EQ(UpdatePlacement(s, WindowState::Normal, {4000, 300, 7350, 1200}),
            PlacementResult::Changed);
  EXPECT_EQ(s.PacketTop, 4000);
}

TEST(UpdatePlacement, FarSecondMonitorsFitButAbsurdValuesAreRefused) {
  EnvSettings s = Saved(150);
  EXPECT_EQ(UpdatePlacement(s, WindowState::Normal, {2200 * 15.0, 3840 * 15.0, 7350, 1200}),
            PlacementResult::Changed);
  EXPECT_EQ(s.PacketTop, 33000);
  EXPECT_EQ(s.PacketLeft, 57600);
  EnvSettings t = Saved(150);
  EXPECT_EQ(UpdatePlacement(t, WindowState::Normal, {3e9, 0, 7350, 1200}),
            PlacementResult::OutOfRange);
  EXPECT_EQ(t.PacketTop, 150);
}

}  // namespace
}  // namespace orvex
