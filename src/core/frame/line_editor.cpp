#include "core/frame/line_editor.h"

#include "base/string_search.h"

namespace orvex {
namespace {

int FunctionNumber(Key key) {
  if (key < Key::F1 || key > Key::F12) return 0;
  return static_cast<int>(key) - static_cast<int>(Key::F1) + 1;
}

}  // namespace

void LineEditor::Changed() {
  // Every edit ends with the caret shown, as the classic editor redrew it.
  caretDrawn_ = true;
  if (view_) view_->LineChanged();
}

Text LineEditor::After(int column) const {
  const size_t from = static_cast<size_t>(column - 1);
  return from >= line_.size() ? Text() : line_.substr(from, 999);
}

void LineEditor::Reset() {
  line_.clear();
  caret_ = 1;
  caretDrawn_ = false;
  caretBlinking_ = true;
  countdown_ = 0;
  if (view_) view_->LineChanged();
}

void LineEditor::Set(const Text& line, int caret) {
  line_ = line;
  caret_ = caret < 1 ? 1 : caret > Length() + 1 ? Length() + 1 : caret;
  if (view_) view_->LineChanged();
}

KeyAction LineEditor::KeyDown(Key key, unsigned modifiers) {
  if (const KeyBinding* b = FindKeyBinding(key, modifiers)) return {b->command, b->message};
  const int f = FunctionNumber(key);
  if (f >= 2) {
    if (f == 6 && modifiers == kAlt) return {};
    return {Command::Beep};
  }
  if (f == 1) return {};

  const int length = Length();
  int caret = caret_;
  if (modifiers == kNone) {
    switch (key) {
      case Key::Tab:
        if (line_.empty() || caret_ > length) return {};
        {
          const size_t space = line_.find(' ', static_cast<size_t>(caret_ - 1));
          const int q =
              space == Text::npos ? 0 : SkipForward(static_cast<int>(space) + 1, line_, " ");
          caret = q != 0 ? q : length + 1;
        }
        break;
      case Key::End:
        if (caret_ == length + 1) return {};
        caret = length + 1;
        break;
      case Key::Home:
        if (caret_ == 1) return {};
        caret = 1;
        break;
      case Key::Left:
        if (caret_ < 2) return {};
        caret = caret_ - 1;
        break;
      case Key::Right:
        if (caret_ > length) return {};
        caret = caret_ + 1;
        break;
      case Key::Delete:
        if (line_.empty() || caret_ > length) return {};
        line_ = line_.substr(0, static_cast<size_t>(caret_ - 1)) + After(caret_ + 1);
        break;
      default:
        return {};
    }
  } else if (modifiers == kShift && key == Key::Tab) {
    if (line_.empty() || caret_ < 2) return {};
    const int p = FindBackward(caret_, line_, " ");
    const int q = p == 0 ? 0 : SkipBackward(p, line_, " ");
    const int r = q == 0 ? 0 : FindBackward(q, line_, " ");
    caret = r != 0 ? r + 1 : 1;
  } else if (modifiers == kCtrl) {
    switch (key) {
      case Key::End:
        if (line_.empty()) return {};
        line_.resize(static_cast<size_t>(caret_ - 1) < line_.size()
                         ? static_cast<size_t>(caret_ - 1)
                         : line_.size());
        break;
      case Key::Left:
        if (caret_ == 1) return {};
        caret = 1;
        break;
      case Key::Right:
        if (caret_ == length + 1) return {};
        caret = length + 1;
        break;
      case Key::X:
        if (line_.empty()) return {};
        line_.clear();
        caret = 1;
        break;
      default:
        return {};
    }
  } else {
    return {};
  }
  caret_ = caret;
  Changed();
  return {};
}

KeyAction LineEditor::KeyPress(int code) {
  if (code == 27 || code >= 128 || code < 0) return {};
  if (code == 7) return {Command::Beep};
  if (code == 8) {
    if (caret_ < 2) return {};
    line_ = line_.substr(0, static_cast<size_t>(caret_ - 2)) + After(caret_);
    --caret_;
    held_ = false;
    Changed();
    return {};
  }
  if (code == 9 || code == 10 || code == 13 || code == 22 || code == 24) return {};
  line_ =
      line_.substr(0, static_cast<size_t>(caret_ - 1)) + static_cast<char>(code) + After(caret_);
  ++caret_;
  held_ = false;
  Changed();
  return {};
}

void LineEditor::BlinkStep() {
  if (!caretBlinking_) return;
  if (--countdown_ < 1) {
    countdown_ = 5;
    caretDrawn_ = !caretDrawn_;
    if (view_) view_->LineChanged();
  }
}

char LineEditor::TakeFirst() {
  const char c = line_.front();
  line_.erase(0, 1);
  if (caret_ > 1) --caret_;
  Changed();
  return c;
}

void LineEditor::Hold(const Text& untaken) {
  held_ = true;
  if (untaken.empty()) return;
  line_ = untaken + line_;
  caret_ += static_cast<int>(untaken.size());
  Changed();
}

void LineEditor::Clear() {
  held_ = false;
  if (line_.empty()) return;
  line_.clear();
  caret_ = 1;
  Changed();
}

}  // namespace orvex
