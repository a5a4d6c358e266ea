#include "ui/in_box.h"

#include <QPainter>

#include "ui/qt_text.h"

namespace orvex {

InBox::InBox(const LineEditor& editor, QWidget* parent) : QWidget(parent), editor_(editor) {
  setObjectName("InBox");
  setFocusPolicy(Qt::StrongFocus);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);
  setForegroundRole(QPalette::Text);
  setAttribute(Qt::WA_InputMethodEnabled, false);
}

int InBox::CaretX() const {
  const QString line = ToQString(editor_.InputLine());
  return QFontMetrics(font()).horizontalAdvance(line.left(editor_.CaretColumn() - 1));
}

void InBox::LineChanged() {
  // Keep the caret in view: past the right edge the line scrolls left by
  // a quarter of the pane at a time, and back when the caret goes left.
  const int caret = CaretX();
  const int room = std::max(1, width() - 2);
  if (caret < offset_) offset_ = std::max(0, caret - room / 4);
  if (caret - offset_ > room) offset_ = caret - room + room / 4;
  update();
}

void InBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QFontMetrics fm(font());
  p.translate(-offset_, 0);
  p.setPen(palette().color(foregroundRole()));
  p.drawText(0, fm.ascent(), ToQString(editor_.InputLine()));
  if (editor_.CaretDrawn()) {
    const int x = CaretX();
    p.drawLine(x, 0, x, fm.height());
  }
}

}  // namespace orvex
