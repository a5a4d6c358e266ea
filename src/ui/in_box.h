// InBox: the one-line pane of the main window. It paints the type-ahead
// line from the model, the caret bar before CaretColumn while the caret is
// drawn, and scrolls sideways to keep the caret in view.
#pragma once

#include <QWidget>

#include "core/frame/line_editor.h"

namespace orvex {

class InBox : public QWidget, public LineView {
  Q_OBJECT
 public:
  InBox(const LineEditor& editor, QWidget* parent);
  void LineChanged() override;
  // How far the line is scrolled left to keep the caret in view, in pixels.
  int ScrollOffset() const { return offset_; }

  // Tab and Shift+Tab edit the line; they never move the focus.
  bool focusNextPrevChild(bool) override { return false; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int CaretX() const;
  const LineEditor& editor_;
  int offset_ = 0;
};

}  // namespace orvex
