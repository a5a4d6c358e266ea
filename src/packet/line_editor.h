// The type-ahead line: what the operator has typed and not yet sent, its
// caret, and the key map of the packet window. A model without widgets: the
// pane paints it, the send queue takes characters from its front.
#pragma once

#include <cstdint>
#include <functional>

#include "app/text.h"
#include "keying/send_seams.h"

namespace orvex {

// Keys the line editor knows, whatever the toolkit calls them.
enum class Key { Other, Esc, Tab, End, Home, Left, Right, Delete, X, F1, F2, F3, F4, F5, F6, F7, F8,
                 F9, F10, F11, F12 };

enum Modifier : unsigned { kNone = 0, kShift = 1, kCtrl = 2, kAlt = 4 };

// What a key asks of the rest of the program.
struct KeyAction {
  enum Kind { None, StopCW, SendMessage, Beep } kind = None;
  int message = 0;  // for SendMessage: 1 to 8
};

class LineEditor : public TypeAheadLine {
 public:
  // repaint runs after every change of the line or the caret.
  explicit LineEditor(std::function<void()> repaint = {}) : repaint_(std::move(repaint)) {}

  // Key-down: function keys, Esc, caret moves and deletions.
  KeyAction KeyDown(Key key, unsigned modifiers);
  // Key-press: a character code as classic key events give it (Ctrl+letter
  // 1 to 26, Backspace 8, Tab 9, Enter 13, Esc 27). Returns Beep for Ctrl+G.
  KeyAction KeyPress(int code);
  // One 100 ms tick: the caret toggles every fifth.
  void BlinkStep();
  // Opening the window: empty line, caret at column 1, not drawn, blinking.
  void Reset();

  // TypeAheadLine: the send queue takes the first character; Stop clears.
  bool Empty() const override { return line_.empty(); }
  char TakeFirst() override;
  void Clear() override;

  const Text& InputLine() const { return line_; }
  int CaretColumn() const { return caret_; }
  bool CaretDrawn() const { return caretDrawn_; }
  bool CaretBlinking() const { return caretBlinking_; }

  // For tests and the pane: put text and caret directly.
  void Set(const Text& line, int caret);

 private:
  void Changed();
  int Length() const { return static_cast<int>(line_.size()); }
  Text After(int column) const;  // from column on, at most 999 characters

  Text line_;
  int caret_ = 1;
  bool caretDrawn_ = false;
  bool caretBlinking_ = true;
  int countdown_ = 0;
  std::function<void()> repaint_;
};

}  // namespace orvex
