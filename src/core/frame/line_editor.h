// The type-ahead line: what the operator has typed and not yet sent, its
// caret, and the key map of the main window. A model without widgets: the
// pane paints it, the send queue takes characters from its front.
#pragma once

#include "base/text.h"
#include "core/frame/key_table.h"
#include "core/sending/send_seams.h"

namespace orvex {

// What a key asks of the rest of the program.
struct KeyAction {
  Command command = Command::None;
  int message = 0;  // for SendMessage: 1 to 8
};

// Whoever shows the line: told after every change of the line or the caret.
class LineView {
 public:
  virtual ~LineView() = default;
  virtual void LineChanged() = 0;
};

class LineEditor : public TypeAheadLine {
 public:
  // The pane that paints the line, once it exists.
  void SetView(LineView* view) { view_ = view; }

  // Key-down: the keys of the key table, the beep of other function keys,
  // caret moves and deletions.
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
  void Hold(const Text& untaken) override;
  bool Held() const override { return held_; }

  const Text& InputLine() const { return line_; }
  int CaretColumn() const { return caret_; }
  bool CaretDrawn() const { return caretDrawn_; }

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
  bool held_ = false;  // the paddle broke in: nothing is taken until the next edit
  int countdown_ = 0;
  LineView* view_ = nullptr;
};

}  // namespace orvex
