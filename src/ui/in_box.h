// InBox: the one-line pane of the packet window. It paints the type-ahead
// line from the model: the text at the top left, the caret bar before
// CaretColumn while the caret is drawn.
#pragma once

#include <QWidget>

#include "core/frame/line_editor.h"

namespace orvex {

class InBox : public QWidget, public LineView {
  Q_OBJECT
 public:
  InBox(const LineEditor& editor, QWidget* parent);
  void LineChanged() override { update(); }

  // Tab and Shift+Tab edit the line; they never move the focus.
  bool focusNextPrevChild(bool) override { return false; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const LineEditor& editor_;
};

}  // namespace orvex
