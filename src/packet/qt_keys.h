// Qt key events to the classic key-down and key-press codes the line editor
// works with. The character code comes from the key and its modifiers
// (Ctrl+letter 1 to 26, Backspace 8, Tab 9, Enter 13, Esc 27), not from the
// event text, which differs between platforms; only printable characters
// take the event text.
#pragma once

#include <QString>
#include <Qt>

#include "packet/line_editor.h"

namespace orvex {

struct ClassicKey {
  Key key = Key::Other;
  unsigned modifiers = kNone;
  int charCode = -1;  // -1: the press gives no character
};

ClassicKey FromQtKey(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text);

}  // namespace orvex
