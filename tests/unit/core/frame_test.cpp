// Start-up, shut-down and the window placement they read and save.
#include <gtest/gtest.h>

#include <stdexcept>

#include "base/program_paths.h"
#include "core/frame/shutdown.h"
#include "core/frame/startup.h"
#include "support/fake_keyer.h"
#include "support/files.h"
#include "support/send_harness.h"

namespace orvex {
namespace {

using test::ReadFile;

class FakeStartupUi : public StartupUi {
 public:
  explicit FakeStartupUi(std::vector<std::string>& log) : log_(log) {}
  void ShowStartForm(const Text& title, const std::string& iconPath) override {
    if (failOnShow) throw std::runtime_error("No display");
    log_.push_back("show " + title + " " + iconPath);
  }
  void LetEventsRun() override { ++events; }
  void CloseStartForm() override { log_.push_back("close"); }
  bool failOnShow = false;
  int events = 0;

 private:
  std::vector<std::string>& log_;
};

class StartupTest : public ::testing::Test {
 protected:
  StartupEnvironment Env(const std::string& commandLine = "") {
    return {dir.path(), std::nullopt, "/nowhere", commandLine, ""};
  }
  test::TempDir dir;
  std::vector<std::string> log;
  FakeStartupUi ui{log};
  test::RecordingSink sink;
  ProgramState state;
};

TEST_F(StartupTest, FirstRunShowsAboutAfterTheStartWindowAndCreatesTheFile) {
  ASSERT_TRUE(Startup(state, Env(), ui, sink));
  EXPECT_EQ(log, (std::vector<std::string>{"show  Orvex 4.01 " + dir.File("pelo.ico"), "close"}));
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].title, "About Pelorin");
  EXPECT_FALSE(sink.boxes[0].warning);
  EXPECT_TRUE(test::Contains(ReadFile(dir.File("orvex.ini")), "\r\nVersion=4.01\r\n"));
  EXPECT_EQ(state.HelpFile, dir.File("pelo.hlp"));
}

TEST_F(StartupTest, SameVersionReadsQuietlyAndAnotherIsRewritten) {
  const std::string contents = "Version=4.01\r\nCWSpeed=33\r\nMsgCW2=TU\r\n";
  test::WriteFile(dir.File("contest.ini"), contents);
  ASSERT_TRUE(Startup(state, Env("contest.ini"), ui, sink));
  EXPECT_TRUE(sink.boxes.empty());
  EXPECT_EQ(ReadFile(dir.File("contest.ini")), contents);
  EXPECT_EQ(state.Env.CWSpeed, 33);
  EXPECT_EQ(state.Captions.Caption(2), "&2: TU");
  EXPECT_EQ(ui.events, 3);  // one per line, so the start window paints
  test::WriteFile(dir.File("orvex.ini"), "Version=4.01 beta\r\n");
  ProgramState again;
  ASSERT_TRUE(Startup(again, Env(), ui, sink));
  EXPECT_EQ(sink.boxes.size(), 1u);
  EXPECT_TRUE(test::Contains(ReadFile(dir.File("orvex.ini")), "Version=4.01\r\n"));
}

TEST_F(StartupTest, AFailingStepEndsStartUpWithItsBoxAndWritesNothing) {
  ui.failOnShow = true;
  EXPECT_FALSE(Startup(state, Env(), ui, sink));
  EXPECT_EQ(sink.Last(), "Pelorin Startup|Problems during start up.\r\nNo display.");
  EXPECT_FALSE(test::Exists(dir.File("orvex.ini")));
}

class FakeWindow : public PacketWindowView {
 public:
  WindowState State() const override { return state; }
  TwipsRect PlacementTwips() const override { return rect; }
  void CloseWindow() override {
    ++closes;
    if (onClose) onClose();
  }
  WindowState state = WindowState::Normal;
  TwipsRect rect{1500, 3000, 7350, 1200};
  int closes = 0;
  std::function<void()> onClose;
};

class ShutdownTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state.EnvFile = std::make_unique<EnvironmentFile>(path, sink, state.Captions);
    state.Env.PacketTop = 1500;
    state.Env.PacketLeft = 3000;
    state.Env.PacketWidth = 7350;
    state.Env.PacketHeight = 1200;
    state.PacketOpen = true;
    send.Port().InitCW();
    send.OpenCWPort(1);
    keyer.calls.clear();
  }
  void Close() { Shutdown(state, window, send, sink); }
  test::TempDir dir;
  std::string path = dir.File("orvex.ini");
  test::RecordingSink sink;
  ProgramState state;
  test::FakeKeyer keyer;
  ManualClock clock;
  test::FakeTimer timer{clock};
  test::CountingBeeper beeper;
  SendPath send{{keyer, state.Env, clock, timer, beeper, sink, "/stn"}};
  FakeWindow window;
};

TEST_F(ShutdownTest, AnUnmovedWindowWritesNothingButTheKeyerClosesAndItRunsOnce) {
  window.onClose = [&] { Close(); };  // closing the window comes back here
  Close();
  EXPECT_FALSE(test::Exists(path));
  EXPECT_EQ(keyer.calls, std::vector<std::string>{"CLOSE"});
  EXPECT_EQ(window.closes, 1);
}

TEST_F(ShutdownTest, MovedMaximizedAndMinimizedWindowsAreSaved) {
  window.rect.top = 3000;
  Close();
  EXPECT_TRUE(test::Contains(ReadFile(path), "PacketTop= 3000 \r\n"));
  for (auto [state_, saved] : {std::pair{WindowState::Maximized, "PacketState= 2 \r\n"},
                               {WindowState::Minimized, "PacketState= 0 \r\n"}}) {
    std::remove(path.c_str());
    state.ShutdownDone = false;
    window.state = state_;
    window.rect = {0, 0, 15360, 11520};
    Close();
    EXPECT_TRUE(test::Contains(ReadFile(path), "PacketTop= 3000 \r\nPacketLeft= 3000 \r\n"));
    EXPECT_TRUE(test::Contains(ReadFile(path), saved));
  }
}

TEST_F(ShutdownTest, AnOutOfRangePlacementIsReportedNotWrittenAndTheKeyerStillCloses) {
  window.rect.top = 3e9;
  Close();
  EXPECT_EQ(sink.Last(), "Packet End|Can't close.\r\nOverflow.");
  EXPECT_FALSE(test::Exists(path));
  EXPECT_EQ(keyer.calls, std::vector<std::string>{"CLOSE"});
  state.PacketOpen = false;  // nothing at all before the window is open
  state.ShutdownDone = false;
  Close();
  EXPECT_EQ(window.closes, 1);
}

TEST(Placement, CentringAndWholeTwipsAtOtherDpi) {
  EXPECT_EQ(CentredPosition(1024, 768, 1021, 765).x, 2);  // 1.5 rounds to even
  EXPECT_EQ(CentredPosition(800, 600, 1000, 700).y, 0);   // larger than the screen
  EnvSettings s;
  s.PacketTop = 165;
  s.PacketLeft = 300;
  s.PacketWidth = 7350;
  s.PacketHeight = 1200;
  EXPECT_EQ(UpdatePlacement(s, WindowState::Normal, {165.2, 299.8, 7350.4, 1199.6}),
            PlacementResult::Unchanged);
  EXPECT_EQ(UpdatePlacement(s, WindowState::Normal, {2200 * 15.0, 3840 * 15.0, 7350, 1200}),
            PlacementResult::Changed);
  EXPECT_EQ(s.PacketLeft, 57600);
}

TEST(ShippedFiles, TheProgramDirectoryFirstThenTheInstalledCopy) {
  test::TempDir prog, shipped;
  test::WriteFile(shipped.File("pelo.hlp"), "x");
  EXPECT_EQ(ShippedFilePath("pelo.hlp", prog.path(), shipped.path()), shipped.File("pelo.hlp"));
  test::WriteFile(prog.File("pelo.hlp"), "mine");
  EXPECT_EQ(ShippedFilePath("pelo.hlp", prog.path(), shipped.path()), prog.File("pelo.hlp"));
  EXPECT_EQ(ShippedFilePath("readme.txt", prog.path(), shipped.path()), prog.File("readme.txt"));
}

}  // namespace
}  // namespace orvex
