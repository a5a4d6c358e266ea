#include "core/frame/key_table.h"

#include <array>

namespace orvex {
namespace {

constexpr Key FKey(int n) {
  return static_cast<Key>(static_cast<int>(Key::F1) + n - 1);
}

constexpr auto MakeTable() {
  std::array<KeyBinding, 24> t{};
  size_t i = 0;
  t[i++] = {Key::Esc, kNone, Command::Stop, 0, false};
  for (int n = 2; n <= 8; ++n) t[i++] = {FKey(n), kNone, Command::SendMessage, n, false};
  for (int n = 1; n <= 8; ++n) t[i++] = {FKey(n), kCtrl, Command::SendMessage, n, true};
  t[i++] = {Key::F9, kNone, Command::Faster, 0, true, true};
  t[i++] = {Key::F9, kShift, Command::Slower, 0, true, true};
  t[i++] = {Key::F9, kCtrl, Command::SetSpeed, 0, true};
  t[i++] = {Key::F12, kNone, Command::Stop, 0, true};
  t[i++] = {Key::T, kCtrl, Command::Tune, 0, true};
  t[i++] = {Key::F11, kNone, Command::SetHim, 0, true};
  t[i++] = {Key::F11, kCtrl, Command::SetMe, 0, true};
  t[i++] = {Key::N, kCtrl, Command::SetNumber, 0, true};
  return t;
}

constexpr auto kTable = MakeTable();

}  // namespace

std::span<const KeyBinding> KeyBindings() {
  return kTable;
}

const KeyBinding* FindKeyBinding(Key key, unsigned modifiers) {
  for (const KeyBinding& b : kTable)
    if (b.key == key && b.modifiers == modifiers) return &b;
  return nullptr;
}

const KeyBinding* MenuShortcutOf(Command command, int message) {
  for (const KeyBinding& b : kTable)
    if (b.menuShortcut && b.command == command && b.message == message) return &b;
  return nullptr;
}

Text MessageKeyName(int n) {
  const KeyBinding* found = nullptr;
  for (const KeyBinding& b : KeyBindings())
    if (b.command == Command::SendMessage && b.message == n && (!found || !b.menuShortcut))
      found = &b;
  if (!found || found->key < Key::F1 || found->key > Key::F12) return {};
  return Text(found->modifiers & kCtrl ? "Ctrl+" : "") +
         (found->modifiers & kShift ? "Shift+" : "") + "F" +
         std::to_string(static_cast<int>(found->key) - static_cast<int>(Key::F1) + 1);
}

}  // namespace orvex
