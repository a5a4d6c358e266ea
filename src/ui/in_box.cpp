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

void InBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QFontMetrics fm(font());
  const QString line = ToQString(editor_.InputLine());
  p.setPen(palette().color(foregroundRole()));
  p.drawText(0, fm.ascent(), line);
  if (editor_.CaretDrawn()) {
    const int x = fm.horizontalAdvance(line.left(editor_.CaretColumn() - 1));
    p.drawLine(x, 0, x, fm.height());
  }
}

}  // namespace orvex
