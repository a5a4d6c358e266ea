#include "app/shutdown.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "test_support.h"

namespace orvex {
namespace {

using test::Exists;
using test::ReadFile;
using test::RecordingSink;
using test::TempDir;

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
    hooks.EndCWFile = [this] { calls.push_back("end file"); };
    hooks.CloseCWPort = [this] { calls.push_back("close port"); };
  }
  TempDir dir;
  std::string path = dir.File("orvex.ini");
  RecordingSink sink;
  ProgramState state;
  FakeWindow window;
  ShutdownHooks hooks;
  std::vector<std::string> calls;
};

TEST_F(ShutdownTest, UnmovedNormalWindowWritesNothingButClosesEverything) {
  Shutdown(state, window, hooks, sink);
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(calls, (std::vector<std::string>{"end file", "close port"}));
  EXPECT_EQ(window.closes, 1);
}

TEST_F(ShutdownTest, MovedWindowIsSaved) {
  window.rect.top = 3000;
  Shutdown(state, window, hooks, sink);
  EXPECT_NE(ReadFile(path).find("PacketTop= 3000 \r\n"), std::string::npos);
}

TEST_F(ShutdownTest, MaximizedSavesStateTwoAndTheEarlierPlacement) {
  window.state = WindowState::Maximized;
  window.rect = {0, 0, 15360, 11520};
  Shutdown(state, window, hooks, sink);
  const std::string f = ReadFile(path);
  EXPECT_NE(f.find("PacketTop= 1500 \r\nPacketLeft= 3000 \r\nPacketHeight= 1200 \r\n"
                   "PacketWidth= 7350 \r\nPacketState= 2 \r\n"),
            std::string::npos);
}

TEST_F(ShutdownTest, MinimizedRewritesWithStateZeroEvenWhenNothingElseChanged) {
  window.state = WindowState::Minimized;
  Shutdown(state, window, hooks, sink);
  EXPECT_NE(ReadFile(path).find("PacketTop= 1500 \r\n"), std::string::npos);
  EXPECT_NE(ReadFile(path).find("PacketState= 0 \r\n"), std::string::npos);
}

TEST_F(ShutdownTest, RunsOnceEvenWhenClosingTheWindowComesBackToIt) {
  window.state = WindowState::Minimized;  // every pass would count as a change
  window.onClose = [&] { Shutdown(state, window, hooks, sink); };
  Shutdown(state, window, hooks, sink);
  EXPECT_EQ(window.closes, 1);
  EXPECT_EQ(calls.size(), 2u);
  std::remove(path.c_str());
  Shutdown(state, window, hooks, sink);
  EXPECT_FALSE(Exists(path));
}

TEST_F(ShutdownTest, DoesNothingBeforeThePacketWindowIsOpen) {
  state.PacketOpen = false;
  Shutdown(state, window, hooks, sink);
  EXPECT_EQ(window.closes, 0);
  EXPECT_TRUE(calls.empty());
}

TEST_F(ShutdownTest, AnOutOfRangePlacementIsReportedNotWrittenAndTheKeyerStillCloses) {
  window.rect.top = 3e9;
  Shutdown(state, window, hooks, sink);
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].title, "Packet End");
  EXPECT_EQ(sink.boxes[0].text, "Can't close.\r\nOverflow.");
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(calls, (std::vector<std::string>{"close port"}));
  EXPECT_EQ(window.closes, 1);
}

TEST_F(ShutdownTest, AFailingFileSenderStillLeavesTheKeyerClosed) {
  hooks.EndCWFile = [] { throw std::runtime_error("Bad file descriptor"); };
  Shutdown(state, window, hooks, sink);
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].text, "Can't close.\r\nBad file descriptor.");
  EXPECT_EQ(calls, (std::vector<std::string>{"close port"}));
  EXPECT_EQ(window.closes, 1);
}

}  // namespace
}  // namespace orvex
