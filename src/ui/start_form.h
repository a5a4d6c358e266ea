// StartForm: the small "Starting up..." window shown while settings load.
#pragma once

#include <QWidget>

class QLabel;

namespace orvex {

class StartForm : public QWidget {
  Q_OBJECT
 public:
  // iconPath may name a missing or unreadable file: the picture stays empty.
  StartForm(const QString& title, const QString& iconPath);

 private:
  QLabel* picture_;
  QLabel* label_;
};

}  // namespace orvex
