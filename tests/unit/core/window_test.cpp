// The main window's logic without widgets: the type-ahead line and its keys,
// the commands behind menus and keys, CW Options saved, and start-up and
// shut-down with the window placement they read and save.
#include <gtest/gtest.h>

#include "base/program_paths.h"
#include "core/frame/apply_cw_options.h"
#include "core/frame/line_editor.h"
#include "core/frame/open_window.h"
#include "core/frame/shutdown.h"
#include "core/frame/startup.h"
#include "core/frame/window_commands.h"
#include "support/files.h"
#include "support/send_harness.h"

namespace orvex {
namespace {

void Type(LineEditor& e, const std::string& s) {
  for (char c : s) e.KeyPress(static_cast<unsigned char>(c));
}

TEST(LineEditor, TypingBackspaceAndDeleteEditAtTheCaret) {
  LineEditor e;
  Type(e, "abc");
  e.KeyDown(Key::Left, kNone);
  Type(e, "X");
  EXPECT_EQ(e.InputLine(), "abXc");
  for (int code : {13, 10, 9, 22, 24, 27, 128, 233}) e.KeyPress(code);  // insert nothing
  e.KeyPress(1);                                                        // Ctrl+A inserts code 1
  e.KeyDown(Key::Home, kNone);
  e.KeyPress(8);  // at column 1: nothing
  e.KeyDown(Key::End, kNone);
  e.KeyDown(Key::Delete, kNone);  // after the last character: nothing
  EXPECT_EQ(e.InputLine(), Text("abX\x01"
                                "c"));
  EXPECT_EQ(e.KeyPress(7).command, Command::Beep);
}

TEST(LineEditor, WordMovesCutClearAndThePumpTakingTheFirstCharacter) {
  LineEditor e;
  const std::tuple<const char*, int, unsigned, int> tabs[] = {{"cq test de dl1abc", 13, kNone, 18},
                                                              {"cq  test", 1, kNone, 5},
                                                              {"cq test de", 9, kShift, 4}};
  for (auto [line, from, mods, to] : tabs) {
    e.Set(line, from);
    e.KeyDown(Key::Tab, mods);
    EXPECT_EQ(e.CaretColumn(), to) << line << " from " << from;
  }
  e.Set("cq test", 3);
  e.KeyDown(Key::End, kCtrl);
  EXPECT_EQ(e.InputLine(), "cq");
  EXPECT_EQ(e.TakeFirst(), 'c');
  EXPECT_EQ(e.CaretColumn(), 2);
  e.KeyDown(Key::X, kCtrl);
  EXPECT_EQ(e.InputLine(), "");
  e.Set(Text(1500, 'e'), 1);
  Type(e, "x");
  EXPECT_EQ(e.InputLine().size(), 1000u);  // 999 characters after the caret are kept
}

struct WithState {
  test::TempDir dir;
  std::string path = dir.File("orvex.ini");
  ProgramState state;
};

class Commands : public ::testing::Test, protected WithState, public test::SendHarness {
 protected:
  Commands() : test::SendHarness(dir.path(), &state.Env) {
    state.EnvFile = std::make_unique<EnvironmentFile>(dir.File("orvex.ini"));
    settings.MyCall = "DL1ABC";
    settings.Message(3) = "#HIM DE #ME";
  }
  test::RecordingServices ui;
  WindowCommands commands{state, send, sink, ui, ui, beeper};
};

TEST_F(Commands, SpeedCommandsKeepTheirLimitsAndRewriteTheTitle) {
  send.SetSpeed(49);
  ui.title.clear();
  commands.Run(Command::Faster);
  EXPECT_EQ(ui.title, " Orvex - 49 WPM");  // rewritten though unchanged
  ui.answer = "2.5";
  commands.Run(Command::SetSpeed);
  EXPECT_EQ(ui.lastCheck.accepts("0").text(), "Speed must be 1 - 99");  // the prompt refuses it
  EXPECT_EQ(keyer.unitMs, 600);
  EXPECT_EQ(ui.title, " Orvex - 2 WPM");
  ui.answer = "100";
  commands.Run(Command::SetSpeed);
  EXPECT_EQ(sink.Last(), "Set CW Speed|Speed must be 1 - 99");  // its own box: no full stop
  EXPECT_EQ(send.Speed(), 2);
}

TEST_F(Commands, SetHimStaysInMemorySetMeIsSavedAndMessagesAreQueued) {
  ui.answer = "G4XYZ";
  commands.Run(Command::SetHim);
  EXPECT_EQ(ui.prompts.at(0), "Set #him|Call|");
  EXPECT_FALSE(test::Exists(dir.File("orvex.ini")));
  ui.answer = "DL1ABC";  // unchanged, and still written
  commands.Run(Command::SetMe);
  EXPECT_TRUE(test::Contains(test::ReadFile(dir.File("orvex.ini")), "Call=DL1ABC\r\n"));
  commands.Run({Command::SendMessage, 3});
  EXPECT_EQ(send.Queue().LastMessage(), "G4XYZ DE DL1ABC\r\n");
  commands.Run(Command::SendMessage, 5);  // empty: just CRLF
  EXPECT_EQ(send.Queue().LastMessage(), "\r\n");
}

// #NEXT moves the number on once its message has gone out in full, and it
// is saved; an Esc before that leaves it. Ctrl+N sets it.
TEST_F(Commands, TheSerialNumberMovesOnAfterAFullSendOnlyAndIsSaved) {
  settings.Message(4) = "TU #NR #NEXT";
  settings.CutNumbers = "0";
  commands.Run({Command::SendMessage, 4});
  EXPECT_EQ(send.Queue().LastMessage().substr(0, 6), "TU TT1");
  RunFor(200);
  send.Stop();  // before its end
  RunFor(3000);
  EXPECT_EQ(commands.Status().serial, "Nr 001");
  commands.Run({Command::SendMessage, 4});
  RunFor(5000);
  EXPECT_EQ(commands.Status().serial, "Nr 002");
  // Esc in the silence after its last key-down: the number has gone out.
  const size_t from = keyer.Timeline().size();
  commands.Run({Command::SendMessage, 4});
  for (int64_t lastUp = -1; lastUp < 0 || clock.MonotonicMs() * 1000 < lastUp;) {
    clock.Advance(5);
    timer.Poll();
    send.Tick();
    const std::vector<engine::KeyElement> keyed = keyer.Timeline();
    int64_t at = 0;  // the timeline runs from the clock's start, rests included
    for (size_t i = 0; i < keyed.size(); ++i)
      if ((at += keyed[i].units) && keyed[i].down && i >= from) lastUp = at;
    if (const Text rest = send.Queue().Readable(); !rest.empty() && rest != "\n") lastUp = -1;
  }
  send.Stop();
  EXPECT_EQ(commands.Status().serial, "Nr 003");
  EnvironmentFile again(dir.File("orvex.ini"));
  EXPECT_EQ(again.ReadEnvironmentFile().settings.ContestNr, 3);  // kept for the next start
  ui.answer = "120";
  commands.Run(Command::SetNumber);
  EXPECT_EQ(commands.Status().serial, "Nr 120");
}

class CWOptions : public ::testing::Test, public WithState, public test::SendHarness {
 protected:
  CWOptions() : test::SendHarness("/stn", &state.Env) {
    state.EnvFile = std::make_unique<EnvironmentFile>(dir.File("orvex.ini"));
  }
  bool Save() { return ApplyCWOptions(entries, state, send, sink); }
  std::string File() { return test::ReadFile(dir.File("orvex.ini")); }
  CWOptionsEntries entries = EntriesFrom(state.Env);
  Text& port = entries.typed["CWPort"];
};

// An entry outside its limits keeps the dialog open and applies nothing.
TEST_F(CWOptions, AnEntryOutsideItsLimitsIsRefusedWhole) {
  for (auto [key, typed, box] :
       {std::tuple{"CWSpeed", "fast", "Speed must be 1 - 99."},
        {"NetKeyer", "example.org:6789",
         "Logger UDP port must be 1 - 65535, or address:port, or empty."},
        {"RigBaud", "1000001", "Rig baud rate must be 0 - 1000000."},
        {"CWPttLine", "DTR",
         "The key line and the PTT line can't both be DTR: choose another PTT line, or None."},
        {"CWKeyer", "K1EL", "Keyer must be Line, WinKeyer, Rig or Remote."}}) {
    CWOptionsEntries refused = EntriesFrom(state.Env);
    refused.typed[key] = typed;
    EXPECT_FALSE(ApplyCWOptions(refused, state, send, sink)) << key;
    EXPECT_EQ(sink.Last(), Text("Set CW Options|") + box);
    EXPECT_EQ(state.Env, EnvSettings{});
  }
}

TEST_F(CWOptions, AnotherWayOfKeyingOpensThePortAgainWiredSoAndIsWrittenOnlyThen) {
  state.PacketOpen = true;
  port = "COM2";
  ASSERT_TRUE(Save());
  EXPECT_FALSE(test::Contains(File(), "CWKeyLine"));  // the defaults leave the file as it was
  entries.typed["CWKeyLine"] = "rts";
  entries.typed["CWPttLine"] = "None";
  ASSERT_TRUE(Save());
  EXPECT_EQ(keyer.opens, 2);
  EXPECT_EQ(keyer.wiring.lines,
            (engine::LineChoice{engine::SerialLine::Rts, engine::SerialLine::None}));
  EXPECT_TRUE(test::Contains(File(), "\r\nCWKeyLine=RTS\r\nCWPttLine=None\r\n"));
  entries.typed["CWKeyer"] = "winkeyer";
  ASSERT_TRUE(Save());
  EXPECT_EQ(keyer.opens, 3);
  EXPECT_STREQ(keyer.wiring.keyer->name, "WinKeyer");
  EXPECT_EQ(state.Env.CWKeyer, "WinKeyer");
}

TEST_F(CWOptions, WithTheWindowOpenTheKeyerOpensAgainAndAFailureWritesNothing) {
  state.PacketOpen = true;
  port = "COM2";
  entries.typed["CWSpeed"] = "30";
  ASSERT_TRUE(Save());
  EXPECT_EQ(keyer.port, 2);
  EXPECT_EQ(keyer.unitMs, 40);      // keying at 30 WPM at once
  entries.typed["CWSpeed"] = "40";  // the same port: it stays open (a reopen pulses DTR and RTS)
  ASSERT_TRUE(Save());
  EXPECT_EQ(keyer.opens, 1);
  EXPECT_EQ(keyer.unitMs, 30);
  std::remove(dir.File("orvex.ini").c_str());
  keyer.openResult = Result::FromErrno(Fault::Open, EBUSY);
  port = "COM4";
  EXPECT_FALSE(Save());
  EXPECT_EQ(sink.boxes.back().title, "CW Setup");
  EXPECT_EQ(state.CWPortCode, 0);
  EXPECT_FALSE(test::Exists(dir.File("orvex.ini")));
}

TEST_F(CWOptions, CancelAfterARefusedPortPutsBackTheSettingsAndThePort) {
  state.PacketOpen = true;
  port = "COM2";
  ASSERT_TRUE(Save());
  CWOptionsSession session(state, send, sink);
  CWOptionsEntries e = session.Entries();
  e.typed["CWPort"] = "COM4";
  e.typed["CWSpeed"] = "40";
  keyer.openResult = Result::FromErrno(Fault::Open, ENOENT);
  EXPECT_FALSE(session.Save(e));
  keyer.openResult = {};
  session.Cancel();
  EXPECT_EQ(state.Env.CWPort, "COM2");
  EXPECT_EQ(state.CWPortCode, 2);
  EXPECT_EQ(send.Speed(), 28);
  EXPECT_EQ(keyer.port, 2);
  EXPECT_TRUE(keyer.open);
}

// Start-up and shut-down.
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
}

}  // namespace
}  // namespace orvex
