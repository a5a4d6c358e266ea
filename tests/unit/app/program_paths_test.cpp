#include "app/program_paths.h"

#include <gtest/gtest.h>

#include "config/env_file.h"

namespace orvex {
namespace {

TEST(ProgramDir, PelorinThenPeloThenCurrentDirectory) {
  EXPECT_EQ(FindProgramDir("/stn", "/other", "/cwd"), "/stn");
  EXPECT_EQ(FindProgramDir("", "/other", "/cwd"), "/other");
  EXPECT_EQ(FindProgramDir(std::nullopt, "/other", "/cwd"), "/other");
  EXPECT_EQ(FindProgramDir("", "", "/cwd"), "/cwd");
  EXPECT_EQ(FindProgramDir(std::nullopt, std::nullopt, "/cwd"), "/cwd");
}

TEST(ProgramFilePath, JoinsWithExactlyOneSlash) {
  EXPECT_EQ(ProgramFilePath("pelo.hlp", "/stn/"), "/stn/pelo.hlp");
  EXPECT_EQ(ProgramFilePath("pelo.hlp", "/stn"), "/stn/pelo.hlp");
  EXPECT_EQ(ProgramFilePath("/x.ini", "/stn"), "/x.ini");
  EXPECT_EQ(ProgramFilePath("x.ini", ""), "x.ini");
  EXPECT_EQ(ProgramFilePath("sub/x.ini", "/stn"), "/stn/sub/x.ini");
}

TEST(EnvironmentFilePath, CommandLineNamesTheFileElseOrvexIni) {
  EXPECT_EQ(EnvironmentFilePath("", "/stn"), "/stn/orvex.ini");
  EXPECT_EQ(EnvironmentFilePath("contest.ini", "/stn"), "/stn/contest.ini");
  EXPECT_EQ(EnvironmentFilePath("/home/op/my.ini", "/stn"), "/home/op/my.ini");
}

}  // namespace
}  // namespace orvex
