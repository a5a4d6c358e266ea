// The start-up window, the message boxes and the single-instance check.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "ui/message_boxes.h"
#include "ui/single_instance.h"
#include "ui/start_form.h"

using namespace orvex;

class SmallWindowsTest : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private slots:
  void startFormShowsTheIconWhenThereIsOne() {
    StartForm form(" Orvex 4.01", "/nonexistent/pelo.ico");
    QCOMPARE(form.StartLabel()->text(), QString("Starting up..."));
    QVERIFY(form.Picture1()->pixmap().isNull());
    QPixmap icon(32, 32);
    icon.fill(Qt::red);
    QVERIFY(icon.save(dir_.filePath("pelo.ico"), "ICO"));
    StartForm withIcon(" Orvex 4.01", dir_.filePath("pelo.ico"));
    QVERIFY(!withIcon.Picture1()->pixmap().isNull());
  }

  void boxesShowIconTitleAndWindows1252TextWithPlainLineBreaks() {
    QStringList seen;
    for (int i = 0; i < 2; ++i) {
      QTimer::singleShot(0, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        seen << QString("%1|%2|%3").arg(box->windowTitle(), box->text()).arg(box->icon());
        box->accept();
      });
      QtMessageSink sink;
      if (i == 0)
        sink.Warning("Environment File", "Can't open /x\r\nPermission denied.");
      else
        sink.Information("About", "\xC9t\xE9 \x80");
    }
    QCOMPARE(seen, (QStringList{"Environment File|Can't open /x\nPermission denied.|2",
                                QString::fromUtf8("About|\u00C9t\u00E9 \u20AC|0")}));
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
