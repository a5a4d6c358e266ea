#include <QLabel>
#include <QPixmap>
#include <QTemporaryDir>
#include <QtTest>

#include "app/start_form.h"
#include "app/twips.h"

using orvex::StartForm;

class StartFormTest : public QObject {
  Q_OBJECT
 private slots:
  void layoutFollowsTheTwipGeometry() {
    StartForm form(" Orvex 4.01", QString());
    const double tpp = orvex::TwipsPerPixelOf(&form);
    QCOMPARE(form.windowTitle(), QString(" Orvex 4.01"));
    QCOMPARE(form.width(), qRound(2325 / tpp));
    QCOMPARE(form.height(), qRound(810 / tpp));
    QCOMPARE(form.Picture1()->geometry(),
             QRect(qRound(240 / tpp), qRound(120 / tpp), qRound(495 / tpp), qRound(495 / tpp)));
    QCOMPARE(form.StartLabel()->text(), QString("Starting up..."));
    QCOMPARE(form.StartLabel()->x(), qRound(840 / tpp));
    QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
  }

  void missingIconLeavesThePictureEmpty() {
    StartForm form(" Orvex 4.01", "/nonexistent/pelo.ico");
    QVERIFY(form.Picture1()->pixmap().isNull());
  }

  void iconFileIsShown() {
    QTemporaryDir dir;
    QPixmap icon(32, 32);
    icon.fill(Qt::red);
    const QString path = dir.filePath("pelo.ico");
    QVERIFY(icon.save(path, "ICO"));
    StartForm form(" Orvex 4.01", path);
    QVERIFY(!form.Picture1()->pixmap().isNull());
  }
};

QTEST_MAIN(StartFormTest)
#include "start_form_test.moc"
