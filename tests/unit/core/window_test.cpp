// The main window's logic without widgets: the type-ahead line and its keys,
// and the commands behind menus and keys.
#include <gtest/gtest.h>

#include "core/frame/line_editor.h"
#include "core/frame/window_commands.h"
#include "support/files.h"
#include "support/send_harness.h"
#include "support/window_services.h"

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

TEST_F(Commands, SendFileDuringATransferAsksAndYesStopsEverything) {
  test::WriteFile(dir.File("one.txt"), std::string(200, 'E') + "\n");
  (void)send.SendFile(nullptr, Utf8ToCp1252(dir.File("one.txt")));
  typed.line = "ABC";
  commands.Run(Command::SendFile);  // answered No: nothing changes
  ASSERT_EQ(sink.questions.size(), 1u);
  EXPECT_EQ(sink.questions[0].text, "CW file already in progress, stop it?");
  EXPECT_EQ(typed.line, "ABC");
  sink.answer = true;
  commands.Run(Command::SendFile);  // Yes: everything stops, then the chooser (cancelled)
  EXPECT_EQ(send.CWFileName(), "");
  EXPECT_EQ(typed.line, "");
}

}  // namespace
}  // namespace orvex
