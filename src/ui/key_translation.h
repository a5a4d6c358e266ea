// Qt key events to the classic key-down and key-press codes the line editor
// works with. The character code comes from the key and its modifiers
// (Ctrl+letter 1 to 26, Backspace 8, Tab 9, Enter 13, Esc 27), not from the
// event text, which differs between platforms; only printable characters
// take the event text.
#pragma once

#include <QKeySequence>
#include <QString>
#include <Qt>

#include "core/frame/key_table.h"

namespace orvex {

struct ClassicKey {
  Key key = Key::Other;
  unsigned modifiers = kNone;
  int charCode = -1;  // -1: the press gives no character
};

ClassicKey FromQtKey(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text);

// The Qt shortcut of a key of the key table (function keys and Esc).
QKeySequence ToQtShortcut(Key key, unsigned modifiers);

}  // namespace orvex
