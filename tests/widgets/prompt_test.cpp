#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "app/qt_text.h"
#include "box_recorder.h"
#include "dialogs/prompt.h"

using namespace orvex;

namespace {

}  // namespace

class PromptTest : public QObject {
  Q_OBJECT
  test::BoxRecorder sink_;

  // Runs ShowPrompt; act drives the open dialog.
  bool Run(const Text& label, Text* text, std::function<void(Prompt*)> act,
           const Text& title = "Set Speed") {
    QTimer::singleShot(0, [act] {
      auto* p = qobject_cast<Prompt*>(QApplication::activeModalWidget());
      QVERIFY(p);
      act(p);
    });
    return ShowPrompt(title, label, text, sink_, nullptr);
  }
  static void Answer(Prompt* p, const QString& typed) {
    p->PromptText()->setText(typed);
    QTest::keyClick(p->PromptText(), Qt::Key_Return);
  }

 private slots:
  void init() { sink_.boxes.clear(); }

  void showsTitleLabelAndSelectedText() {
    Text text = "28";
    Run("Speed", &text, [](Prompt* p) {
      QCOMPARE(p->windowTitle(), QString(" Set Speed"));
      QCOMPARE(p->PromptLabel()->text(), QString("Speed"));
      QCOMPARE(p->PromptText()->selectedText(), QString("28"));
      QVERIFY(p->OKButton()->isDefault());
      p->reject();
    });
  }

  void speedAnswersAreCheckedAndTheDialogStaysOpen() {
    for (const char* bad : {"0", "100", "-5", "", "fast", "99.5"}) {
      Text text = "28";
      bool stayed = false;
      const bool ok = Run("Speed", &text, [&](Prompt* p) {
        Answer(p, bad);
        stayed = p->isVisible();
        p->reject();
      });
      QVERIFY(!ok);
      QVERIFY2(stayed, bad);
      QCOMPARE(sink_.boxes.value(0), QString("Set CW Speed|Speed must be 1 - 99."));
      sink_.boxes.clear();
    }
    for (const char* good : {"1", "99", "98.5", " 40 "}) {
      Text text;
      QVERIFY(Run("Speed", &text, [&](Prompt* p) { Answer(p, good); }));
      QCOMPARE(ToQString(text), QString(good).trimmed());
    }
    QVERIFY(sink_.boxes.isEmpty());
  }

  void callsAcceptAnyTextTrimmed() {
    Text text = "DL1ABC";
    QVERIFY(Run("Call", &text, [](Prompt* p) { Answer(p, "  g4 xyz  "); }, "Set #him"));
    QCOMPARE(ToQString(text), QString("g4 xyz"));
    QVERIFY(Run("Call", &text, [](Prompt* p) { Answer(p, ""); }, "Set #him"));
    QCOMPARE(text, Text());
  }

  void cancelAndEscapeReturnNothing() {
    Text text = "DL1ABC";
    QVERIFY(!Run("Call", &text, [](Prompt* p) {
      p->PromptText()->setText("typed");
      p->CancelButton()->click();
    }));
    QCOMPARE(text, Text());
    text = "DL1ABC";
    QVERIFY(!Run("Call", &text, [](Prompt* p) { QTest::keyClick(p, Qt::Key_Escape); }));
    QCOMPARE(text, Text());
  }
};

QTEST_MAIN(PromptTest)
#include "prompt_test.moc"
