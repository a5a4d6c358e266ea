#include "ui/single_instance.h"

#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>

namespace orvex {

SingleInstance::SingleInstance(QString name) : name_(std::move(name)) {}

QString SingleInstance::DefaultName() {
  QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
  if (display.isEmpty()) display = qEnvironmentVariable("DISPLAY");
  display.replace('/', '_');
  return QString("orvex-%1-%2").arg(::getuid()).arg(display);
}

bool SingleInstance::AnotherIsRunning() {
  QLocalSocket probe;
  probe.connectToServer(name_);
  if (probe.waitForConnected(500)) {
    probe.write("activate\n");
    probe.waitForBytesWritten(500);
    probe.disconnectFromServer();
    return true;
  }
  // Nobody answered: a socket file left by a crashed instance must not
  // block this start.
  QLocalServer::removeServer(name_);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  server_->listen(name_);
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* s = server_->nextPendingConnection()) {
      connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
      emit activated();
    }
  });
  return false;
}

}  // namespace orvex
