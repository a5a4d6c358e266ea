#include "ui/key_translation.h"

#include "ui/qt_text.h"

namespace orvex {

ClassicKey FromQtKey(int qtKey, Qt::KeyboardModifiers mods, const QString& text) {
  ClassicKey k;
  if (mods & Qt::ShiftModifier) k.modifiers |= kShift;
  if (mods & Qt::ControlModifier) k.modifiers |= kCtrl;
  if (mods & Qt::AltModifier) k.modifiers |= kAlt;
  switch (qtKey) {
    case Qt::Key_Escape:
      k.key = Key::Esc;
      k.charCode = 27;
      break;
    case Qt::Key_Backtab:  // Shift+Tab arrives as its own key
      k.modifiers |= kShift;
      k.key = Key::Tab;
      k.charCode = 9;
      break;
    case Qt::Key_Tab:
      k.key = Key::Tab;
      k.charCode = 9;
      break;
    case Qt::Key_End:
      k.key = Key::End;
      break;
    case Qt::Key_Home:
      k.key = Key::Home;
      break;
    case Qt::Key_Left:
      k.key = Key::Left;
      break;
    case Qt::Key_Right:
      k.key = Key::Right;
      break;
    case Qt::Key_Delete:
      k.key = Key::Delete;
      break;
    case Qt::Key_Backspace:
      k.charCode = 8;
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      k.charCode = 13;
      break;
    default:
      if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        k.key = static_cast<Key>(static_cast<int>(Key::F1) + (qtKey - Qt::Key_F1));
      break;
  }
  if (qtKey == Qt::Key_X) k.key = Key::X;
  if (qtKey == Qt::Key_T) k.key = Key::T;
  if (qtKey == Qt::Key_N) k.key = Key::N;
  const bool ctrl = (k.modifiers & kCtrl) && !(k.modifiers & kAlt);
  if (k.charCode < 0 && ctrl && qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
    k.charCode = qtKey - Qt::Key_A + 1;
  } else if (k.charCode < 0 && !(k.modifiers & (kCtrl | kAlt)) && text.size() == 1 &&
             text[0].unicode() >= 32) {
    const Text code = FromQString(text);
    k.charCode = static_cast<unsigned char>(code[0]);
  }
  return k;
}

QKeySequence ToQtShortcut(Key key, unsigned modifiers) {
  int qtKey = 0;
  if (key >= Key::F1 && key <= Key::F12)
    qtKey = Qt::Key_F1 + (static_cast<int>(key) - static_cast<int>(Key::F1));
  else if (key == Key::Esc)
    qtKey = Qt::Key_Escape;
  else if (key == Key::T)
    qtKey = Qt::Key_T;
  else if (key == Key::N)
    qtKey = Qt::Key_N;
  if (qtKey == 0) return {};
  Qt::KeyboardModifiers mods;
  if (modifiers & kShift) mods |= Qt::ShiftModifier;
  if (modifiers & kCtrl) mods |= Qt::ControlModifier;
  if (modifiers & kAlt) mods |= Qt::AltModifier;
  return QKeySequence(QKeyCombination(mods, static_cast<Qt::Key>(qtKey)));
}

}  // namespace orvex
