// The start-up window, the message boxes and the single-instance check.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "ui/message_boxes.h"
#include "ui/single_instance.h"

using namespace orvex;

class SmallWindowsTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private slots:
  void aWarningShowsIconTitleAndWindows1252TextWithPlainLineBreaks() {
    QString seen;
    QTimer::singleShot(0, [&seen] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      seen = QString("%1|%2|%3").arg(box->windowTitle(), box->text()).arg(box->icon());
      box->accept();
    });
    QtMessageSink().Warning("File", "Can't open /\xC9t\xE9\r\nPermission denied.");
    QCOMPARE(seen, QString::fromUtf8("File|Can't open /\u00C9t\u00E9\nPermission denied.|2"));
  }

  void aSecondStartAsksTheFirstToComeForwardAndAStaleSocketIsNoObstacle() {
    const QString name = dir_.filePath("instance");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);  // as a killed instance leaves it
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    qstrncpy(addr.sun_path, name.toLocal8Bit().constData(), sizeof addr.sun_path);
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
    SingleInstance first(name);
    QVERIFY(!first.AnotherIsRunning());
    int activations = 0;
    connect(&first, &SingleInstance::activated, [&] { ++activations; });
    SingleInstance second(name);
    QVERIFY(second.AnotherIsRunning());
    QTRY_COMPARE(activations, 1);
  }
};

QTEST_MAIN(SmallWindowsTest)
#include "small_windows_test.moc"
