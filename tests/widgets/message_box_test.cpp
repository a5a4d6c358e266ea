#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include "app/qt_message_sink.h"

struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
};

// Answers the next modal box once it is up, remembering what it showed.
static void AnswerNextBox(SeenBox& seen) {
  QTimer::singleShot(0, [&seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box);
    seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
    box->accept();
  });
}

class MessageBoxTest : public QObject {
  Q_OBJECT
 private slots:
  void warningHasTheIconOkAndTitleAndPlainLineBreaks() {
    SeenBox seen;
    AnswerNextBox(seen);
    orvex::QtMessageSink sink;
    sink.Warning("Environment File", "Can't open environment file /x\r\nPermission denied.");
    QCOMPARE(seen.title, QString("Environment File"));
    QCOMPARE(seen.text, QString("Can't open environment file /x\nPermission denied."));
    QCOMPARE(seen.icon, QMessageBox::Warning);
    QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  }

  void informationHasNoIconAndConvertsWindows1252() {
    SeenBox seen;
    AnswerNextBox(seen);
    orvex::QtMessageSink sink;
    sink.Information("About Pelorin", "\xC9t\xE9 \x80");
    QCOMPARE(seen.icon, QMessageBox::NoIcon);
    QCOMPARE(seen.text, QString::fromUtf8("\u00C9t\u00E9 \u20AC"));
  }
};

QTEST_MAIN(MessageBoxTest)
#include "message_box_test.moc"
