#include "packet/qt_keys.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(QtKeys, ControlCodesComeFromTheKeyNotTheText) {
  EXPECT_EQ(FromQtKey(Qt::Key_A, Qt::ControlModifier, "").charCode, 1);
  EXPECT_EQ(FromQtKey(Qt::Key_Z, Qt::ControlModifier, "\x1a").charCode, 26);
  EXPECT_EQ(FromQtKey(Qt::Key_G, Qt::ControlModifier, "").charCode, 7);
  EXPECT_EQ(FromQtKey(Qt::Key_Backspace, Qt::NoModifier, "").charCode, 8);
  EXPECT_EQ(FromQtKey(Qt::Key_Tab, Qt::NoModifier, "").charCode, 9);
  EXPECT_EQ(FromQtKey(Qt::Key_Return, Qt::NoModifier, "\r").charCode, 13);
  EXPECT_EQ(FromQtKey(Qt::Key_Enter, Qt::KeypadModifier, "").charCode, 13);
  EXPECT_EQ(FromQtKey(Qt::Key_Escape, Qt::NoModifier, "").charCode, 27);
}

TEST(QtKeys, PrintableCharactersTakeTheText) {
  EXPECT_EQ(FromQtKey(Qt::Key_A, Qt::NoModifier, "a").charCode, 'a');
  EXPECT_EQ(FromQtKey(Qt::Key_A, Qt::ShiftModifier, "A").charCode, 'A');
  EXPECT_EQ(FromQtKey(Qt::Key_Question, Qt::ShiftModifier, "?").charCode, '?');
  EXPECT_EQ(FromQtKey(Qt::Key_Eacute, Qt::NoModifier, QString::fromUtf8("\u00E9")).charCode, 233);
  EXPECT_EQ(FromQtKey(Qt::Key_A, Qt::AltModifier, "a").charCode, -1);
  EXPECT_EQ(FromQtKey(Qt::Key_F3, Qt::NoModifier, "").charCode, -1);
}

TEST(QtKeys, KeysAndModifiers) {
  const ClassicKey backtab = FromQtKey(Qt::Key_Backtab, Qt::ShiftModifier, "");
  EXPECT_EQ(backtab.key, Key::Tab);
  EXPECT_EQ(backtab.modifiers, kShift);
  const ClassicKey f8 = FromQtKey(Qt::Key_F8, Qt::ControlModifier, "");
  EXPECT_EQ(f8.key, Key::F8);
  EXPECT_EQ(f8.modifiers, kCtrl);
  EXPECT_EQ(FromQtKey(Qt::Key_X, Qt::ControlModifier, "").key, Key::X);
  EXPECT_EQ(FromQtKey(Qt::Key_End, Qt::ControlModifier, "").key, Key::End);
  EXPECT_EQ(FromQtKey(Qt::Key_F6, Qt::AltModifier, "").modifiers, kAlt);
  EXPECT_EQ(FromQtKey(Qt::Key_F12, Qt::ShiftModifier | Qt::ControlModifier, "").modifiers,
            kShift | kCtrl);
}

}  // namespace
}  // namespace orvex
