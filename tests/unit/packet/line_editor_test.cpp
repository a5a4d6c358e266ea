#include "packet/line_editor.h"

#include <gtest/gtest.h>

#include "packet/string_search.h"

namespace orvex {
namespace {

void Type(LineEditor& e, const std::string& s) {
  for (char c : s) e.KeyPress(static_cast<unsigned char>(c));
}

TEST(LineEditor, TypingInsertsAtTheCaretAndEnterInsertsNothing) {
  LineEditor e;
  Type(e, "abc");
  EXPECT_EQ(e.InputLine(), "abc");
  EXPECT_EQ(e.CaretColumn(), 4);
  e.KeyDown(Key::Left, kNone);
  Type(e, "X");
  EXPECT_EQ(e.InputLine(), "abXc");
  for (int code : {13, 10, 9, 22, 24, 27, 128, 233}) e.KeyPress(code);
  EXPECT_EQ(e.InputLine(), "abXc");
  e.KeyPress(1);  // Ctrl+A inserts code 1
  EXPECT_EQ(e.InputLine(), Text("abX\x01" "c"));
  EXPECT_EQ(e.KeyPress(7).kind, KeyAction::Beep);
}

TEST(LineEditor, ThePumpTakesTheFirstCharacterAndTheCaretFollows) {
  LineEditor e;
  Type(e, "abc");
  EXPECT_EQ(e.TakeFirst(), 'a');
  EXPECT_EQ(e.InputLine(), "bc");
  EXPECT_EQ(e.CaretColumn(), 3);
  e.KeyDown(Key::Home, kNone);
  e.TakeFirst();
  EXPECT_EQ(e.CaretColumn(), 1);
}

TEST(LineEditor, BackspaceAndDelete) {
  LineEditor e;
  e.KeyPress(8);
  EXPECT_EQ(e.InputLine(), "");
  Type(e, "abcd");
  e.KeyPress(8);
  EXPECT_EQ(e.InputLine(), "abc");
  e.KeyDown(Key::Home, kNone);
  e.KeyPress(8);  // at column 1: nothing
  EXPECT_EQ(e.InputLine(), "abc");
  e.KeyDown(Key::Delete, kNone);
  EXPECT_EQ(e.InputLine(), "bc");
  EXPECT_EQ(e.CaretColumn(), 1);
  e.KeyDown(Key::End, kNone);
  e.KeyDown(Key::Delete, kNone);  // after the last character: nothing
  EXPECT_EQ(e.InputLine(), "bc");
}

TEST(LineEditor, CaretMovesStayInTheLine) {
  LineEditor e;
  e.KeyDown(Key::Left, kNone);
  EXPECT_EQ(e.CaretColumn(), 1);
  Type(e, "ab");
  e.KeyDown(Key::Right, kNone);
  EXPECT_EQ(e.CaretColumn(), 3);
  e.KeyDown(Key::Left, kCtrl);
  EXPECT_EQ(e.CaretColumn(), 1);
  e.KeyDown(Key::Right, kCtrl);
  EXPECT_EQ(e.CaretColumn(), 3);
}

TEST(LineEditor, TabAndShiftTabMoveByWords) {
  LineEditor e;
  e.Set("cq test de dl1abc", 2);
  e.KeyDown(Key::Tab, kNone);
  EXPECT_EQ(e.CaretColumn(), 4);  // start of "test"
  e.Set("cq test de dl1abc", 13);
  e.KeyDown(Key::Tab, kNone);  // on the last word: to the end
  EXPECT_EQ(e.CaretColumn(), 18);
  e.Set("cq  test", 1);
  e.KeyDown(Key::Tab, kNone);  // runs of blanks are skipped
  EXPECT_EQ(e.CaretColumn(), 5);

  e.Set("cq test de", 6);  // inside the second word
  e.KeyDown(Key::Tab, kShift);
  EXPECT_EQ(e.CaretColumn(), 1);
  e.Set("cq test de", 9);  // start of the third word
  e.KeyDown(Key::Tab, kShift);
  EXPECT_EQ(e.CaretColumn(), 4);
}

TEST(LineEditor, CtrlEndCutsAndCtrlXClears) {
  LineEditor e;
  e.Set("cq test", 3);
  e.KeyDown(Key::End, kCtrl);
  EXPECT_EQ(e.InputLine(), "cq");
  EXPECT_EQ(e.CaretColumn(), 3);
  e.KeyDown(Key::X, kCtrl);
  EXPECT_EQ(e.InputLine(), "");
  EXPECT_EQ(e.CaretColumn(), 1);
  e.KeyPress(24);  // the Ctrl+X character that follows
  EXPECT_EQ(e.InputLine(), "");
}

TEST(LineEditor, FunctionKeysAndEsc) {
  LineEditor e;
  EXPECT_EQ(e.KeyDown(Key::Esc, kNone).kind, KeyAction::StopCW);
  auto f3 = e.KeyDown(Key::F3, kNone);
  EXPECT_EQ(f3.kind, KeyAction::SendMessage);
  EXPECT_EQ(f3.message, 3);
  EXPECT_EQ(e.KeyDown(Key::F1, kCtrl).message, 1);
  EXPECT_EQ(e.KeyDown(Key::F8, kCtrl).message, 8);
  EXPECT_EQ(e.KeyDown(Key::F1, kNone).kind, KeyAction::None);
  EXPECT_EQ(e.KeyDown(Key::F5, kShift).kind, KeyAction::Beep);
  EXPECT_EQ(e.KeyDown(Key::F10, kNone).kind, KeyAction::Beep);
  EXPECT_EQ(e.KeyDown(Key::F6, kAlt).kind, KeyAction::None);
  EXPECT_EQ(e.KeyDown(Key::F9, kCtrl).kind, KeyAction::Beep);
  EXPECT_EQ(e.KeyDown(Key::Esc, kShift).kind, KeyAction::None);
}

TEST(LineEditor, TheCaretBlinksEveryFifthTickAndEditsShowIt) {
  int repaints = 0;
  LineEditor e([&] { ++repaints; });
  e.Reset();
  EXPECT_FALSE(e.CaretDrawn());
  e.BlinkStep();  // the first toggle comes on the first tick
  EXPECT_TRUE(e.CaretDrawn());
  for (int i = 0; i < 4; ++i) e.BlinkStep();
  EXPECT_TRUE(e.CaretDrawn());
  e.BlinkStep();
  EXPECT_FALSE(e.CaretDrawn());
  Type(e, "a");
  EXPECT_TRUE(e.CaretDrawn());
  EXPECT_GE(repaints, 4);
}

TEST(LineEditor, TextAfterTheCaretKeepsAtMost999Characters) {
  LineEditor e;
  e.Set(Text(1500, 'e'), 1);
  Type(e, "x");
  EXPECT_EQ(e.InputLine().size(), 1000u);
}

TEST(StringSearch, FindAndSkip) {
  EXPECT_EQ(FindBackward(7, "cq test de", " "), 3);
  EXPECT_EQ(FindBackward(2, "cq test", " "), 0);
  EXPECT_EQ(SkipForward(3, "cq  test", " "), 5);
  EXPECT_EQ(SkipForward(3, "cq  ", " "), 0);
  EXPECT_EQ(SkipBackward(4, "cq  test", " "), 2);
  EXPECT_EQ(SkipBackward(2, "  ", " "), 0);
}

}  // namespace
}  // namespace orvex
