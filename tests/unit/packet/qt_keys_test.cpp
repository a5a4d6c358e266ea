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

}  // namespace
}  // namespace orvex
