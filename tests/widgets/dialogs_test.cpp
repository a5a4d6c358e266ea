// CW Options, the text viewer, help, the Replace/Append question and the
// file dialog, driven through their widgets.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include "app/qt_text.h"
#include "box_recorder.h"
#include "config/cw_env.h"
#include "dialogs/file_append.h"
#include "dialogs/read_me.h"

using namespace orvex;

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT
  test::BoxRecorder sink_;
  QTemporaryDir dir_;

 private slots:
  void init() { sink_.boxes.clear(); }

  void cwEnvShowsTheEntriesInItsControls() {
    CWOptionsEntries e;
    e.port = "COM2";
    e.speed = "28";
    e.tone = "650";
    e.sidetone = false;
    e.device = 3;
    e.messages[7] = "TU 73";
    CWEnv dialog(e, [](const CWOptionsEntries&) { return true; }, {}, nullptr);
    QCOMPARE(dialog.windowTitle(), QString(" CW Messages, Speed, ..."));
    QCOMPARE(dialog.CWPort()->currentText(), QString("COM2"));
    QCOMPARE(dialog.CWPort()->count(), 11);
    QCOMPARE(dialog.CWPort()->itemText(0), QString("None"));
    QCOMPARE(dialog.CWPort()->itemText(10), QString("COM8"));
    QVERIFY(!dialog.CWSidetone()->isChecked());
    QVERIFY(dialog.Option(3)->isChecked());
    QCOMPARE(dialog.Msgs(7)->text(), QString("TU 73"));
    QCOMPARE(dialog.CWTone()->maxLength(), 4);
    QVERIFY(dialog.SaveButton()->isDefault());
    // The keyboard order, ending on the wave option.
    auto next = [](QWidget* w) {  // the next stop after w and its own parts
      QWidget* n = w->nextInFocusChain();
      while (n && w->isAncestorOf(n)) n = n->nextInFocusChain();
      return n;
    };
    QCOMPARE(next(dialog.CWPort()), static_cast<QWidget*>(dialog.CWSpeed()));
    QCOMPARE(next(dialog.Option(2 - 1)), static_cast<QWidget*>(dialog.Option(3)));
    QCOMPARE(next(dialog.Option(3)), static_cast<QWidget*>(dialog.Msgs(0)));
    QCOMPARE(next(dialog.CmdHelp()), static_cast<QWidget*>(dialog.Option(4)));
  }

  void cwEnvSaveStaysOpenUntilTheEntriesPass() {
    CWOptionsEntries e;
    e.port = "None";
    e.speed = "28";
    e.tone = "600";
    QList<CWOptionsEntries> saved;
    int helps = 0;
    CWEnv dialog(
        e,
        [&](const CWOptionsEntries& entries) {
          saved << entries;
          return entries.speed != "0";
        },
        [&] { ++helps; }, nullptr);
    dialog.show();
    dialog.CWSpeed()->setText("0");
    QTest::keyClick(dialog.CWSpeed(), Qt::Key_Return);  // Enter is Save
    QVERIFY(dialog.isVisible());
    dialog.CWSpeed()->setText("35");
    dialog.Option(4)->setChecked(true);
    dialog.Msgs(2)->setText("CQ");
    QTest::keyClicks(dialog.CWTone(), "12345");  // a fifth digit cannot be typed
    dialog.CmdHelp()->click();
    dialog.SaveButton()->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(saved.size(), 2);
    QCOMPARE(saved[1].speed, Text("35"));
    QCOMPARE(saved[1].device, 4);
    QCOMPARE(saved[1].messages[2], Text("CQ"));
    QCOMPARE(saved[1].tone.size(), size_t{4});
    QCOMPARE(helps, 1);
  }

  void oneViewerWindowTitledWithTheFile() {
    WriteFile(dir_.filePath("readme.txt"), "Hello\nWorld\n");
    WriteFile(dir_.filePath("changes.txt"), "");
    QWidget parent;
    TextViewer viewer(sink_, &parent);
    viewer.ShowTextFile("readme.txt", dir_.filePath("readme.txt").toStdString());
    ReadMe* window = viewer.Window();
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->windowTitle(), QString("readme.txt"));
    QCOMPARE(window->TextBox()->toPlainText(), QString("\n  Hello\n  World"));
    viewer.ShowTextFile("changes.txt", dir_.filePath("changes.txt").toStdString());
    QCOMPARE(viewer.Window(), window);  // the same window, new text
    QCOMPARE(window->windowTitle(), QString("changes.txt"));
    QCOMPARE(window->TextBox()->toPlainText(), QString());
    QTest::keyClick(window->TextBox(), Qt::Key_Escape);
    QVERIFY(!window->isVisible());
  }

  void aMissingFileGivesItsBox() {
    TextViewer viewer(sink_, nullptr);
    const QString path = dir_.filePath("nothere.txt");
    viewer.ShowTextFile("changes.txt", path.toStdString());
    QCOMPARE(sink_.boxes.size(), 1);
    QVERIFY(sink_.boxes[0].startsWith("changes.txt|Can't open " + path + "\r\n"));
    QVERIFY(!viewer.Window());
  }

  void helpOpensAtTheTopic() {
    WriteFile(dir_.filePath("pelo.hlp"),
              "<html><body><h1><a name=\"topic150\"></a>Window</h1><p>keys</p>"
              "<h1><a name=\"topic160\"></a>Macros</h1><p>#ME</p></body></html>");
    HelpViewer help(nullptr);
    help.ShowHelp(dir_.filePath("pelo.hlp").toStdString(), 160);
    QVERIFY(help.Browser());
    QVERIFY(help.Browser()->toPlainText().contains("Macros"));
    QVERIFY(help.Browser()->isVisible());
    HelpViewer none(nullptr);
    none.ShowHelp(dir_.filePath("missing.hlp").toStdString(), 150);  // silently nothing
    QVERIFY(!none.Browser());
  }

  void fileAppendAnswers() {
    const std::pair<std::function<void(FileAppend*)>, int> cases[] = {
        {[](FileAppend* d) { d->CmdReplace()->click(); }, kAnswerReplace},
        {[](FileAppend* d) { d->CmdAppend()->click(); }, kAnswerAppend},
        {[](FileAppend* d) { QTest::keyClick(d, Qt::Key_Escape); }, kAnswerCancel},
        {[](FileAppend* d) { QTest::keyClick(d, Qt::Key_Return); }, kAnswerReplace}};
    for (const auto& [act, expected] : cases) {
      QTimer::singleShot(0, [act = act] {
        auto* d = qobject_cast<FileAppend*>(QApplication::activeModalWidget());
        QVERIFY(d);
        QCOMPARE(d->windowTitle(), QString(" Append/Replace File"));
        act(d);
      });
      QtAppendQuestion question(nullptr);
      QCOMPARE(question.Ask("x already exists.\r\n\r\nReplace it or append to end?"), expected);
    }
  }

  void qtFileDialogReturnsTheChosenPath() {
    WriteFile(dir_.filePath("send.txt"), "CQ\n");
    bool nonNative = false;
    QTimer poll;  // the dialog takes a moment to come up
    connect(&poll, &QTimer::timeout, [&] {
      QFileDialog* d = nullptr;
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* f = qobject_cast<QFileDialog*>(w); f && f->isVisible()) d = f;
      if (!d) return;
      poll.stop();
      nonNative = d->testOption(QFileDialog::DontUseNativeDialog);
      // As the operator does: type the name, press Enter.
      auto* name = d->findChild<QLineEdit*>("fileNameEdit");
      if (!name) return d->reject();
      name->setText("send.txt");
      QTest::keyClick(name, Qt::Key_Return);
    });
    poll.start(50);
    QtFileDialog dialog(nullptr);
    const auto path = dialog.Show(false, "File to Send as CW", "All Files (*.*) (*)",
                                  dir_.path().toStdString(), "");
    QVERIFY(nonNative);
    QVERIFY(path.has_value());
    QCOMPARE(QString::fromStdString(*path), dir_.filePath("send.txt"));
  }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
