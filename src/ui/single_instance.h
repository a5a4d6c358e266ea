// One Orvex per user and display: a second start asks the first to come to
// the front and ends without a word.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace orvex {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  explicit SingleInstance(QString name);
  // The socket name for this user and display.
  static QString DefaultName();

  // True when another instance answered (it has been asked to come to the
  // front); false when this is the first, which then listens for later ones.
  bool AnotherIsRunning();

 signals:
  // A later start asked this instance to come to the front.
  void activated();

 private:
  QString name_;
  QLocalServer* server_ = nullptr;
};

}  // namespace orvex
