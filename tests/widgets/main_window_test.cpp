// The main window: menus from the key table, keys into the line editor and
// the commands, fonts, colours, metrics, and placement saved at shut-down.
#include <QAction>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include "core/frame/shutdown.h"
#include "support/files.h"
#include "support/send_harness.h"
#include "ui/echo_box.h"
#include "ui/in_box.h"
#include "ui/pkt_form.h"
#include "ui/qt_text.h"
#include "ui/twips.h"

using namespace orvex;

class MainWindowTest : public QObject {
  Q_OBJECT

  test::TempDir dir_;
  std::unique_ptr<test::SendHarness> h_;
  ProgramState state_;
  LineEditor editor_;
  test::RecordingServices ui_;
  std::unique_ptr<WindowCommands> commands_;
  std::unique_ptr<SentEcho> echo_;
  std::unique_ptr<PktForm> form_;
  QAction* Action(const char* name) { return form_->findChild<QAction*>(name); }
  std::string Saved() { return test::ReadFile(dir_.File("orvex.ini")); }

 private slots:
  void init() {
    state_ = ProgramState();
    h_ = std::make_unique<test::SendHarness>();
    h_->settings.Message(3) = "TEST";
    h_->settings.Message(1) = "CQ TEST DE DL1ABC";
    state_.EnvFile = std::make_unique<EnvironmentFile>(dir_.File("orvex.ini"));
    state_.PacketOpen = true;
    editor_.Reset();
    h_->send.SetTypeAhead(&editor_);
    ui_ = test::RecordingServices();
    ui_.onExit = [this] { Shutdown(state_, *form_, h_->send, h_->sink); };
    commands_ = std::make_unique<WindowCommands>(state_, h_->send, h_->sink, ui_, ui_, h_->beeper);
    echo_ = std::make_unique<SentEcho>(h_->keyer);
    echo_->Watch(&h_->send.Queue());
    h_->queued.also = echo_.get();
    form_ = std::make_unique<PktForm>(editor_, *commands_, *echo_);
    form_->RestorePlacement(state_.Env);
    form_->ShowWindow();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    std::remove(dir_.File("orvex.ini").c_str());
  }
  void cleanup() {
    form_.reset();
    echo_.reset();
  }

  // Typing, messages, Esc and the speed keys: the end-to-end tests.
  void tabStaysInThePaneOtherFunctionKeysBeepAndF1OpensTheTopic() {
    QTest::keyClicks(form_->Pane(), "cq test");
    QTest::keyClick(form_->Pane(), Qt::Key_Tab);
    QVERIFY(form_->Pane()->hasFocus());
    QTest::keyClick(form_->Pane(), Qt::Key_F5, Qt::ShiftModifier);
    QTest::keyClick(form_->Pane(), Qt::Key_F6, Qt::AltModifier);
    QCOMPARE(h_->beeper.beeps, 1);
    QTest::keyClick(form_->Pane(), Qt::Key_F1);
    QCOMPARE(ui_.helps, (std::vector<int>{150}));
  }

  void aTypedCharacterGoesOutAtOnceAndAnyKeyStopsTune() {
    QTest::keyClick(form_->Pane(), Qt::Key_E);  // no tick has run
    QCOMPARE(h_->Count("ELEMENT 0 1"), 1);
    Action("ReqTune")->trigger();
    QCOMPARE(h_->Count("TUNE 0 10000"), 1);
    QVERIFY(commands_->Tuning());
    QTest::keyClick(form_->Pane(), Qt::Key_A);  // stops it, and types nothing
    QVERIFY(!commands_->Tuning());
    QCOMPARE(editor_.InputLine(), Text());
  }

  // The echo on the keyer's simulated clock: what went out, the character
  // being keyed, what waits (the message's rest, the typed "b") and, after
  // Esc, what was dropped; the message buttons; the lamp and the speed box.
  void theEchoButtonsAndStatusBarFollowTheSending() {
    QVERIFY(!form_->MessageButton(2)->isEnabled());
    // The narrowest button still shows its message, not only its key.
    QVERIFY2(form_->MessageButton(1)->text().contains("CQ"),
             qPrintable(form_->MessageButton(1)->text()));
    QTest::keyClicks(form_->Pane(), "ab");
    form_->MessageButton(3)->click();
    QCOMPARE(h_->queued.queued.back(), (std::pair<Text, int>{"TEST\r\n", 3}));
    h_->RunFor(200);
    form_->RefreshStatus();
    QCOMPARE(form_->Echo()->Lines(), QStringList({"a", "TEST", "b"}));  // each source its line
    QVERIFY(form_->TxLamp()->property("lit").toBool());
    auto count = [&](SentEcho::State state) {
      return std::count_if(echo_->Chars().begin(), echo_->Chars().end(),
                           [&](const SentEcho::Char& c) { return c.state == state; });
    };
    QCOMPARE(echo_->Chars().front().state, SentEcho::State::Sent);
    QCOMPARE(count(SentEcho::State::Keying), 1);
    QTest::keyClick(form_->Pane(), Qt::Key_Escape);
    form_->RefreshStatus();
    QCOMPARE(count(SentEcho::State::Keying) + count(SentEcho::State::Waiting), 0);
    QVERIFY(count(SentEcho::State::Dropped) >= 3);  // the message's rest and "b"
    h_->RunFor(500);
    form_->RefreshStatus();
    QVERIFY(!form_->TxLamp()->property("lit").toBool());
    // The paddle breaks in on typed text: the text stops, what the hand
    // sent shows on a line of its own, and the typed line keeps what it had
    // not sent until the operator types into it again.
    QTest::keyClicks(form_->Pane(), "cd");
    h_->RunFor(30);
    h_->keyer.brokeInAt = h_->keyer.Ended();  // "c" keying, "d" handed over unstarted
    ++h_->keyer.breakIns;
    h_->keyer.handText = "CQ";
    h_->RunFor(100);
    form_->RefreshStatus();
    QCOMPARE(form_->findChild<QLabel*>("FileStatus")->text(),
             QString("The paddle broke in: sending stopped"));
    QCOMPARE(form_->Echo()->Lines().back(), QString("CQ"));
    h_->RunFor(500);
    QCOMPARE(editor_.InputLine(), Text("d"));
    QTest::keyClicks(form_->Pane(), "e");
    h_->RunFor(500);
    QCOMPARE(editor_.InputLine(), Text());

    QTest::keyClick(form_->Pane(), Qt::Key_F9);
    form_->RefreshStatus();
    QCOMPARE(form_->SpeedBox()->value(), 29);
    form_->SpeedBox()->setValue(35);
    QCOMPARE(h_->send.Speed(), 35);
  }

  // FixedSys, which the system lacks, becomes the theme's fixed font; a
  // theme whose fixed font is proportional still gets evenly spaced letters.
  void theFontIsSetOnThePaneAndItsLettersAreEvenlySpaced() {
    FontSpec wanted;
    wanted.Name = "FixedSys";
    wanted.Size = 12;
    form_->ApplyFont(wanted);
    QVERIFY(QFontInfo(form_->Pane()->font()).fixedPitch());
    QCOMPARE(form_->Echo()->font(), form_->Pane()->font());
    const QFont proportional = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    QVERIFY(!QFontInfo(proportional).fixedPitch());
    const QFontMetrics fm(PaneFont("FixedSys", proportional));
    QCOMPARE(fm.horizontalAdvance('i'), fm.horizontalAdvance('M'));
  }

  // Characters without Morse are echoed too, and one Windows-1252 has no
  // code for as itself, while it waits and once it is passed.
  void textWithoutMorseIsEchoedWhole() {
    const QString text = "DE SP5\u0141X & \U0001D11E";
    h_->settings.Message(4) = FromQString(text);
    QTest::keyClick(form_->Pane(), Qt::Key_F4);
    h_->RunFor(4000);
    form_->RefreshStatus();
    QCOMPARE(form_->Echo()->Lines(), QStringList({text, ""}));
    for (const SentEcho::Char& c : echo_->Chars()) QCOMPARE(c.state, SentEcho::State::Sent);
  }

  void placementIsSavedInTwipsThroughEveryCloseAndMaximizedIsRestored() {
    form_->move(30, 40);
    Action("MenuExit")->trigger();
    QVERIFY(state_.ShutdownDone);  // every way of closing ends the program
    const double tpp = TwipsPerPixelOf(form_.get());
    QVERIFY(test::Contains(Saved(), "PacketTop= " + std::to_string(qRound(40 * tpp)) + " \r\n"));
    EnvSettings env;
    env.PacketState = 2;
    PktForm maximized(editor_, *commands_, *echo_);
    maximized.RestorePlacement(env);
    maximized.ShowWindow();
    QCOMPARE(maximized.State(), WindowState::Maximized);
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
