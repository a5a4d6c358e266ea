// The keys of the main window and what they do, in one table. The menus take
// their shortcuts from it (F9, F11, F12, Ctrl+F1 to Ctrl+F8 and the rest),
// the window its own keys (Esc, F2 to F8) and the line editor all of them,
// so a key and its menu item can never disagree.
#pragma once

#include <span>

#include "base/text.h"

namespace orvex {

// Keys the program knows, whatever the toolkit calls them.
enum class Key {
  Other,
  Esc,
  Tab,
  End,
  Home,
  Left,
  Right,
  Delete,
  N,
  T,
  X,
  F1,
  F2,
  F3,
  F4,
  F5,
  F6,
  F7,
  F8,
  F9,
  F10,
  F11,
  F12
};

enum Modifier : unsigned { kNone = 0, kShift = 1, kCtrl = 2, kAlt = 4 };

// The commands of the main window: its menu items, its keys, the beep.
enum class Command {
  None,
  Beep,
  Exit,
  Faster,
  Slower,
  SetSpeed,
  SendFile,
  Stop,
  Tune,
  SetHim,
  SetMe,
  SetNumber,
  SendMessage,
  CWOptions,
  Help,
  About,
  ShowReadme,
  ShowChanges,
  RetryPort  // open the port that failed again
};

struct KeyBinding {
  Key key;
  unsigned modifiers;
  Command command;
  int message;        // for SendMessage: 1 to 8
  bool menuShortcut;  // the shortcut of a menu item; otherwise the window's own key
  // Held down, the key acts again and again. Only the speed steps do: a held
  // F2 must send its message once, not once per keyboard repeat.
  bool repeats = false;
};

std::span<const KeyBinding> KeyBindings();
// The binding of a key with exactly these modifiers, or nullptr.
const KeyBinding* FindKeyBinding(Key key, unsigned modifiers);
// The menu shortcut of a command (and message), or nullptr.
const KeyBinding* MenuShortcutOf(Command command, int message = 0);
// The key that sends stored message n, as a label: "F2", or "Ctrl+F1"
// where the plain function key does something else.
Text MessageKeyName(int n);

}  // namespace orvex
