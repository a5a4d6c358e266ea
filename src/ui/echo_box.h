// EchoBox: what has been sent, above the type-ahead line. The last lines of
// the echo (core) as they fit: sent text in the text colour, the character
// being keyed highlighted, what waits dimmed after it, what a stop dropped
// greyed out. Colours come from the palette, so a dark theme stays readable.
#pragma once

#include <QWidget>

#include "core/frame/sent_echo.h"

namespace orvex {

class EchoBox : public QWidget {
  Q_OBJECT
 public:
  EchoBox(const SentEcho& echo, QWidget* parent);
  // The text shown, line by line, without its colours (for tests).
  QStringList Lines() const;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct Cell {
    QString c;  // one character (two UTF-16 units beyond the first 65536)
    SentEcho::State state;
  };
  // Everything to show, broken into lines of at most columns characters.
  std::vector<std::vector<Cell>> Layout(int columns) const;
  int Columns() const;
  const SentEcho& echo_;
};

}  // namespace orvex
