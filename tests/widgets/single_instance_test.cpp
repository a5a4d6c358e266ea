#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QtTest>

#include "app/single_instance.h"

using orvex::SingleInstance;

class SingleInstanceTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private slots:
  void secondStartFindsTheFirstAndAsksItToComeForward() {
    const QString name = dir_.filePath("instance-a");
    SingleInstance first(name);
    QVERIFY(!first.AnotherIsRunning());
    int activations = 0;
    first.SetActivateHandler([&] { ++activations; });

    SingleInstance second(name);
    QVERIFY(second.AnotherIsRunning());
    QTRY_COMPARE(activations, 1);
  }

  void aSocketLeftByACrashDoesNotBlockTheNextStart() {
    const QString name = dir_.filePath("instance-b");
    // A bound but dead socket file, as a killed instance leaves behind.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    qstrncpy(addr.sun_path, name.toLocal8Bit().constData(), sizeof addr.sun_path);
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
    QVERIFY(QFile::exists(name));

    SingleInstance next(name);
    QVERIFY(!next.AnotherIsRunning());
    SingleInstance after(name);
    QVERIFY(after.AnotherIsRunning());  // and the new one now answers
  }

  void namesDifferByDisplay() {
    qputenv("DISPLAY", ":7");
    const QString a = SingleInstance::DefaultName();
    qputenv("DISPLAY", ":8");
    QVERIFY(a != SingleInstance::DefaultName());
    QVERIFY(a.startsWith("orvex-"));
  }
};

QTEST_MAIN(SingleInstanceTest)
#include "single_instance_test.moc"
