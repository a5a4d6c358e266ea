#include "app/startup.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "test_support.h"

namespace orvex {
namespace {

using test::ReadFile;
using test::RecordingSink;
using test::TempDir;
using test::WriteFile;

// Records what start-up did with its window, interleaved with the boxes.
class FakeStartupUi : public StartupUi {
 public:
  explicit FakeStartupUi(std::vector<std::string>& log) : log_(log) {}
  void ShowStartForm(const Text& title, const std::string& iconPath) override {
    if (failOnShow) throw std::runtime_error("No display");
    log_.push_back("show " + title + " " + iconPath);
  }
  void ProcessEvents() override { ++events; }
  void CloseStartForm() override { log_.push_back("close"); }
  bool failOnShow = false;
  int events = 0;

 private:
  std::vector<std::string>& log_;
};

class LoggingSink : public RecordingSink {
 public:
  explicit LoggingSink(std::vector<std::string>& log) : log_(log) {}
  void Information(const Text& title, const Text& text) override {
    log_.push_back("box " + title);
    RecordingSink::Information(title, text);
  }
  void Warning(const Text& title, const Text& text) override {
    log_.push_back("box " + title);
    RecordingSink::Warning(title, text);
  }

 private:
  std::vector<std::string>& log_;
};

class StartupTest : public ::testing::Test {
 protected:
  StartupEnvironment Env(const std::string& commandLine = "") {
    return {dir.path(), std::nullopt, "/nowhere", commandLine, ""};
  }
  TempDir dir;
  std::vector<std::string> log;
  FakeStartupUi ui{log};
  LoggingSink sink{log};
  ProgramState state;
};

TEST_F(StartupTest, FirstRunShowsAboutAfterTheStartWindowAndCreatesTheFile) {
  ASSERT_TRUE(Startup(state, Env(), ui, sink));
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], "show  Orvex 4.01 " + dir.File("pelo.ico"));
  EXPECT_EQ(log[1], "close");
  EXPECT_EQ(log[2], "box About Pelorin");
  EXPECT_FALSE(sink.boxes[0].warning);
  EXPECT_NE(ReadFile(dir.File("orvex.ini")).find("\r\nVersion=4.01\r\n"), std::string::npos);
  EXPECT_EQ(state.Env.Version, "4.01");
  EXPECT_EQ(state.ProgramDir, dir.path());
  EXPECT_EQ(state.HelpFile, dir.File("pelo.hlp"));
}

TEST_F(StartupTest, SameVersionReadsQuietlyAndWritesNothing) {
  const std::string contents = "Version=4.01\r\nCWSpeed=33\r\nMsgCW2=TU\r\n";
  WriteFile(dir.File("orvex.ini"), contents);
  ASSERT_TRUE(Startup(state, Env(), ui, sink));
  EXPECT_TRUE(sink.boxes.empty());
  EXPECT_EQ(ReadFile(dir.File("orvex.ini")), contents);
  EXPECT_EQ(state.Env.CWSpeed, 33);
  EXPECT_EQ(state.Captions.Caption(2), "&2: TU");
  EXPECT_EQ(ui.events, 3);  // one per line, so the start window paints
}

TEST_F(StartupTest, AnotherVersionIsComparedExactlyAndRewritten) {
  WriteFile(dir.File("orvex.ini"), "Version=4.01 beta\r\n");
  ASSERT_TRUE(Startup(state, Env(), ui, sink));
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].title, "About Pelorin");
  EXPECT_NE(ReadFile(dir.File("orvex.ini")).find("Version=4.01\r\n"), std::string::npos);
}

TEST_F(StartupTest, TheCommandLineNamesTheEnvironmentFile) {
  WriteFile(dir.File("contest.ini"), "Version=4.01\r\nCWSpeed=40\r\n");
  ASSERT_TRUE(Startup(state, Env("contest.ini"), ui, sink));
  EXPECT_EQ(state.Env.CWSpeed, 40);
  EXPECT_EQ(state.EnvFile->Path(), dir.File("contest.ini"));
}

TEST_F(StartupTest, AFailingStepEndsStartUpWithItsBoxAndWritesNothing) {
  ui.failOnShow = true;
  EXPECT_FALSE(Startup(state, Env(), ui, sink));
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].title, "Pelorin Startup");
  EXPECT_EQ(sink.boxes[0].text, "Problems during start up.\r\nNo display.");
  EXPECT_TRUE(sink.boxes[0].warning);
  EXPECT_FALSE(test::Exists(dir.File("orvex.ini")));
}

TEST(PacketTitle, ShowsTheSpeedInPrintForm) {
  EXPECT_EQ(PacketTitle(28), " Orvex - 28 WPM");
  EXPECT_EQ(PacketTitle(5), " Orvex - 5 WPM");
}

}  // namespace
}  // namespace orvex
