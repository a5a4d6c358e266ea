// Start-up, shut-down and the window placement they read and save.
#include <gtest/gtest.h>

#include "base/program_paths.h"
#include "core/frame/open_window.h"
#include "core/frame/shutdown.h"
#include "core/frame/startup.h"
#include "support/files.h"
#include "support/send_harness.h"

namespace orvex {
namespace {

using test::ReadFile;

class StartupTest : public ::testing::Test, public StartupUi {
 protected:
  StartupEnvironment Env(const std::string& commandLine = "") {
    return {{dir.path(), std::nullopt, std::nullopt, std::nullopt, "/nowhere"}, commandLine, ""};
  }
  Result ShowStartForm(const Text&, const std::string&) override {
    return failOnShow ? Result::Failed(Fault::Open, 0, "No display") : Result();
  }
  void LetEventsRun() override {}
  void CloseStartForm() override {}
  test::TempDir dir;
  test::RecordingSink sink;
  ProgramState state;
  bool failOnShow = false;
};

TEST_F(StartupTest, TheSameVersionReadsQuietlyFromTheFileTheCommandLineNames) {
  const std::string contents = "Version=4.01\r\nCWSpeed=33\r\nMsgCW2=TU\r\n";
  test::WriteFile(dir.File("contest.ini"), contents);
  ASSERT_TRUE(Startup(state, Env("contest.ini"), *this, sink));
  EXPECT_TRUE(sink.boxes.empty());
  EXPECT_EQ(ReadFile(dir.File("contest.ini")), contents);
  EXPECT_EQ(state.Captions.Caption(2), "&2: TU");
}

TEST_F(StartupTest, WithoutPelorinOrPeloTheSettingsLiveInTheUsersConfigDirectory) {
  const std::string cwd = dir.File("started-here");
  ASSERT_TRUE(MakeDirectories(cwd));
  StartupEnvironment env{{"", std::nullopt, dir.File("config"), "/home/op", cwd}, "", ""};
  ASSERT_TRUE(Startup(state, env, *this, sink));
  EXPECT_EQ(state.ProgramDir, dir.File("config/orvex"));  // made on first run
  EXPECT_TRUE(test::Exists(dir.File("config/orvex/orvex.ini")));
  EXPECT_FALSE(test::Exists(cwd + "/orvex.ini"));
  test::WriteFile(cwd + "/orvex.ini", "Version=4.01\r\n");  // one already there keeps working
  EXPECT_EQ(FindProgramDir(env.Places, "orvex.ini"), cwd);
  env.Places.xdgConfigHome.reset();
  EXPECT_EQ(FindProgramDir(env.Places, "other.ini"), "/home/op/.config/orvex");
}

TEST_F(StartupTest, AFailingStepEndsStartUpWithItsBoxAndWritesNothing) {
  failOnShow = true;
  EXPECT_FALSE(Startup(state, Env(), *this, sink));
  EXPECT_EQ(sink.Last(), "Orvex Startup|Problems during start up.\r\nNo display.");
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
  TwipsRect rect{1500.2, 2999.8, 7350.4, 1199.6};  // at a dpi other than 96: whole twips count
  int closes = 0;
  std::function<void()> onClose;
};

struct WithState {
  test::TempDir dir;
  std::string path = dir.File("orvex.ini");
  ProgramState state;
};

class ShutdownTest : public ::testing::Test, public WithState, public test::SendHarness {
 protected:
  ShutdownTest() : test::SendHarness("/stn", &state.Env) {
    state.EnvFile = std::make_unique<EnvironmentFile>(path);
    state.Env.PacketTop = 1500;
    state.Env.PacketLeft = 3000;
    state.Env.PacketWidth = 7350;
    state.Env.PacketHeight = 1200;
    state.PacketOpen = true;
    (void)send.OpenCWPort(1);
  }
  void Close() { Shutdown(state, window, send, sink); }
  FakeWindow window;
};

TEST_F(ShutdownTest, AnUnmovedWindowWritesNothingButTheKeyerClosesAndItRunsOnce) {
  window.onClose = [&] { Close(); };  // closing the window comes back here
  Close();
  EXPECT_FALSE(test::Exists(path));
  EXPECT_FALSE(keyer.open);
  EXPECT_EQ(Count("CLOSE 0 0"), 1);
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
  EXPECT_FALSE(keyer.open);
  state.PacketOpen = false;  // nothing at all before the window is open
  state.ShutdownDone = false;
  Close();
  EXPECT_EQ(window.closes, 1);
}

class FakeWindowSetup : public PacketWindowSetup, public PacketWindowFactory {
 public:
  Result CreatePacketWindow(PacketWindowSetup** window) override {
    *window = this;
    return failWith ? Result::Failed(Fault::Open, 0, failWith) : Result();
  }
  void SetPacketColor(int, int32_t) override {}
  void ApplyFont(const FontSpec&) override {}
  void RestorePlacement(const EnvSettings&) override {}
  void Measure() override {}
  void ShowWindow() override {}
  const char* failWith = nullptr;
};

TEST_F(ShutdownTest, OpeningTheWindowReportsAnyFailureAndLeavesItClosed) {
  state.PacketOpen = false;
  FakeWindowSetup window;
  LineEditor editor;
  state.Env.ColorPktFore = 255;
  ASSERT_TRUE(OpenPacketWindow(state, send, editor, window, sink));
  EXPECT_TRUE(state.PacketOpen);
  window.failWith = "Out of memory";
  EXPECT_FALSE(OpenPacketWindow(state, send, editor, window, sink));
  EXPECT_EQ(sink.Last(), "Packet Start|Can't open packet window.\r\nOut of memory.");
  EXPECT_FALSE(state.PacketOpen);
  window.failWith = nullptr;
  state.Env.PacketFontSize = 0;
  EXPECT_FALSE(OpenPacketWindow(state, send, editor, window, sink));
  EXPECT_EQ(sink.Last(),
            "Set Font|Couldn't set font FixedSys 0.\r\nPick another font from the\r\n"
            "'Options/TNC, Messages, History, ...' menu.\r\n.\r\n(380) Invalid property value.");
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
