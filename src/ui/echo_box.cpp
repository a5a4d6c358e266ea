#include "ui/echo_box.h"

#include <QPainter>

#include "ui/qt_text.h"

namespace orvex {

EchoBox::EchoBox(const SentEcho& echo, QWidget* parent) : QWidget(parent), echo_(echo) {
  setObjectName("EchoBox");
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);
  setFocusPolicy(Qt::NoFocus);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize EchoBox::minimumSizeHint() const {
  return {QFontMetrics(font()).horizontalAdvance(QString(20, 'M')),
          QFontMetrics(font()).lineSpacing() * 2 + 4};
}

QSize EchoBox::sizeHint() const {
  const QFontMetrics fm(font());
  return {fm.horizontalAdvance(QString(60, 'M')), fm.lineSpacing() * 4 + 4};
}

int EchoBox::Columns() const {
  return std::max(1, (width() - 4) / std::max(1, QFontMetrics(font()).horizontalAdvance('M')));
}

std::vector<std::vector<EchoBox::Cell>> EchoBox::Layout(int columns) const {
  // The echo holds codes one by one; a character Windows-1252 has no code
  // for spans several of them and is shown as the one character it is,
  // in the state of its first code.
  Text codes;
  std::vector<SentEcho::State> states;
  for (const SentEcho::Char& c : echo_.Chars()) {
    codes += static_cast<char>(c.c);
    states.push_back(c.state);
  }
  const Text queued = echo_.Queued();
  codes += queued;
  states.resize(codes.size(), SentEcho::State::Waiting);
  std::vector<std::vector<Cell>> lines(1);
  for (size_t i = 0; i < codes.size();) {
    const size_t n = CharLength(codes, i);
    if (codes[i] == '\n') {
      lines.emplace_back();
    } else {
      if (static_cast<int>(lines.back().size()) >= columns) lines.emplace_back();
      const QString shown = ToQString(std::string_view(codes).substr(i, n));
      lines.back().push_back({shown.isEmpty() ? QString("?") : shown, states[i]});
    }
    i += n;
  }
  return lines;
}

QStringList EchoBox::Lines() const {
  QStringList out;
  for (const auto& line : Layout(Columns())) {
    QString text;
    for (const Cell& cell : line) text += cell.c;
    out << text;
  }
  return out;
}

void EchoBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QFontMetrics fm(font());
  const int cell = std::max(1, fm.horizontalAdvance('M'));
  const auto lines = Layout(Columns());
  const int fit = std::max(1, (height() - 4) / fm.lineSpacing());
  const size_t from = lines.size() > static_cast<size_t>(fit) ? lines.size() - fit : 0;
  const QPalette& pal = palette();
  QColor dim = pal.color(QPalette::Text);
  dim.setAlphaF(0.45);
  for (size_t i = from; i < lines.size(); ++i) {
    const int y = 2 + static_cast<int>(i - from) * fm.lineSpacing();
    for (size_t k = 0; k < lines[i].size(); ++k) {
      const Cell& c = lines[i][k];
      const QRect box(2 + static_cast<int>(k) * cell, y, cell, fm.lineSpacing());
      QFont font = p.font();
      font.setStrikeOut(c.state == SentEcho::State::Dropped);
      p.setFont(font);
      switch (c.state) {
        case SentEcho::State::Keying:
          p.fillRect(box, pal.color(QPalette::Highlight));
          p.setPen(pal.color(QPalette::HighlightedText));
          break;
        case SentEcho::State::Sent:
          p.setPen(pal.color(QPalette::Text));
          break;
        case SentEcho::State::Waiting:
          p.setPen(dim);
          break;
        case SentEcho::State::Dropped:
          p.setPen(pal.color(QPalette::Disabled, QPalette::Text));
          break;
      }
      p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, c.c);
    }
  }
}

}  // namespace orvex
