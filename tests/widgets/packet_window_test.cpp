// The packet window's widgets: menu tree, keys into the line editor and the
// commands, fonts, colours and pane metrics.
#include <QAction>
#include <QFontDatabase>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QtTest>

#include "app/qt_text.h"
#include "box_recorder.h"
#include "app/twips.h"
#include "keying/send_path.h"
#include "keying/sim_keyer.h"
#include "packet/in_box.h"
#include "packet/packet_commands.h"
#include "packet/pkt_form.h"

using namespace orvex;

namespace {

class NoTimer : public PauseTimer {
 public:
  void Start(int, std::function<void()>) override {}
  void Cancel() override {}
};

class NoBeep : public Beeper {
 public:
  void Beep() override {}
};

}  // namespace

class PacketWindowTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  test::BoxRecorder sink_;
  ProgramState state_;
  ManualClock clock_;
  QStringList calls_;
  SimKeyer keyer_{clock_, [this](const std::string& c) { calls_ << QString::fromStdString(c); }};
  NoTimer timer_;
  NoBeep beeper_;
  std::unique_ptr<SendPath> send_;
  std::unique_ptr<PacketCommands> commands_;
  std::unique_ptr<PktForm> form_;
  int beeps_ = 0;
  QList<int> helps_;

  QAction* Action(const char* name) { return form_->findChild<QAction*>(name); }

 private slots:
  void init() {
    state_ = ProgramState();
    state_.EnvFile = std::make_unique<EnvironmentFile>(
        dir_.filePath("orvex.ini").toStdString(), sink_, state_.Captions);
    state_.Env.MyCall = "DL1ABC";
    state_.Env.Message(3) = "TEST";
    send_ = std::make_unique<SendPath>(keyer_, state_.Keying, state_.Env, clock_, timer_, beeper_,
                                       sink_, dir_.path().toStdString());
    form_ = std::make_unique<PktForm>();
    PacketSeams seams;
    seams.setTitle = [this](const Text& t) { form_->setWindowTitle(ToQString(t)); };
    seams.beep = [this] { ++beeps_; };
    commands_ = std::make_unique<PacketCommands>(state_, *send_, sink_, seams);
    form_->SetCommands(commands_.get(), [this](int context) { helps_ << context; });
    send_->SetTypeAhead(&form_->Editor());
    send_->Keying().InitCW();
    send_->Keying().SetCWSpeed(28);
    form_->RestorePlacement(state_.Env);
    form_->ShowRestored();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    calls_.clear();
    beeps_ = 0;
    helps_.clear();
    sink_.boxes.clear();
  }
  void cleanup() { form_.reset(); }

  void menuTreeHasItsCaptionsShortcutsAndOrder() {
    const QList<QMenu*> menus = form_->menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
    QStringList titles;
    for (QAction* a : form_->menuBar()->actions()) titles << a->text();
    QCOMPARE(titles, (QStringList{"&File", "&CW", "&Options", "&Help"}));
    const std::pair<const char*, QKeySequence> shortcuts[] = {
        {"ReqNextCWSpeed", QKeySequence(Qt::Key_F9)},
        {"ReqPreviousCWSpeed", QKeySequence(Qt::SHIFT | Qt::Key_F9)},
        {"ReqSetCWSpeed", QKeySequence(Qt::CTRL | Qt::Key_F9)},
        {"ReqCWFileStop", QKeySequence(Qt::Key_F12)},
        {"ReqSetHim", QKeySequence(Qt::Key_F11)},
        {"ReqSetMe", QKeySequence(Qt::CTRL | Qt::Key_F11)},
        {"ReqCw1", QKeySequence(Qt::CTRL | Qt::Key_F1)},
        {"ReqCw8", QKeySequence(Qt::CTRL | Qt::Key_F8)}};
    for (auto [name, keys] : shortcuts) QCOMPARE(Action(name)->shortcut(), keys);
    QCOMPARE(Action("ReqCWFileSend")->text(), QString("Send &File as CW"));
    QCOMPARE(Action("HelpAbout")->text(), QString("&About Orvex"));
    QCOMPARE(Action("ReqCw4")->text(), QString("&4:"));
    QCOMPARE(Action("ReqCw4")->property("helpContext").toInt(), 0);
    QCOMPARE(Action("ReqCw5")->property("helpContext").toInt(), 160);
    QCOMPARE(Action("ReqNextCWSpeed")->property("helpContext").toInt(), 150);
  }

  void messageCaptionsShowAnAmpersandLiterally() {
    form_->SetMessageCaption(3, "&3: TU 5NN & 73");
    QCOMPARE(Action("ReqCw3")->text(), QString("&3: TU 5NN && 73"));
  }

  void typingEditsTheLineAndTabNeverLeavesThePane() {
    QTest::keyClicks(form_->Pane(), "cq test");
    QCOMPARE(ToQString(form_->Editor().InputLine()), QString("cq test"));
    QTest::keyClick(form_->Pane(), Qt::Key_Home);
    QTest::keyClick(form_->Pane(), Qt::Key_Tab);
    QCOMPARE(form_->Editor().CaretColumn(), 4);
    QVERIFY(form_->Pane()->hasFocus());
    QTest::keyClick(form_->Pane(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(form_->Editor().CaretColumn(), 1);
    QVERIFY(form_->Pane()->hasFocus());
    QTest::keyClick(form_->Pane(), Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(form_->Editor().InputLine(), Text());
  }

  void functionKeysSendStopAndBeep() {
    QTest::keyClick(form_->Pane(), Qt::Key_F3);
    QCOMPARE(ToQString(send_->Queue().LastMessage), QString("TEST\r\n"));
    QVERIFY(calls_.contains("ELEMENT 0 3"));
    calls_.clear();
    QTest::keyClick(form_->Pane(), Qt::Key_Escape);
    QCOMPARE(calls_.value(0), QString("ABORT 0 0"));
    QTest::keyClick(form_->Pane(), Qt::Key_F5, Qt::ShiftModifier);
    QCOMPARE(beeps_, 1);
    QTest::keyClick(form_->Pane(), Qt::Key_F6, Qt::AltModifier);
    QCOMPARE(beeps_, 1);
    QTest::keyClick(form_->Pane(), Qt::Key_F1);
    QCOMPARE(beeps_, 1);
    QCOMPARE(helps_, QList<int>{150});
  }

  void f1OnAHighlightedMenuItemOpensItsTopic() {
    QMenu* cw = form_->findChild<QMenu*>("MenuCW");
    QVERIFY(cw);
    cw->popup(QPoint(0, 0));
    QVERIFY(QTest::qWaitForWindowExposed(cw));
    cw->setActiveAction(Action("ReqSetHim"));
    QTest::keyClick(cw, Qt::Key_F1);
    cw->setActiveAction(Action("ReqNextCWSpeed"));
    QTest::keyClick(cw, Qt::Key_F1);
    cw->setActiveAction(Action("ReqCw4"));  // no topic of its own: the window's
    QTest::keyClick(cw, Qt::Key_F1);
    cw->close();
    QCOMPARE(helps_, (QList<int>{160, 150, 150}));
  }

  void menuShortcutsRunTheirCommands() {
    QTest::keyClick(form_.get(), Qt::Key_F9);
    QCOMPARE(form_->windowTitle(), QString(" Orvex - 29 WPM"));
    QTest::keyClick(form_.get(), Qt::Key_F9, Qt::ShiftModifier);
    QCOMPARE(form_->windowTitle(), QString(" Orvex - 28 WPM"));
    QTest::keyClick(form_.get(), Qt::Key_F3, Qt::ControlModifier);
    QCOMPARE(ToQString(send_->Queue().LastMessage), QString("TEST\r\n"));
  }

  void fixedSysBecomesTheSystemFixedFont() {
    QVERIFY(!AvailableFontFamily("FixedSys").isEmpty());
    QCOMPARE(AvailableFontFamily("FixedSys"),
             QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    FontSpec wanted;
    wanted.Name = "FixedSys";
    wanted.Size = 12;
    wanted.Bold = true;
    QVERIFY(form_->ApplyFont(wanted, sink_));
    QCOMPARE(form_->Pane()->font().pointSizeF(), 12.0);
    QVERIFY(form_->Pane()->font().bold());
    QVERIFY(sink_.boxes.isEmpty());
  }

  void aFontThatCannotBeSetIsReported() {
    FontSpec wanted;
    wanted.Name = "FixedSys";
    wanted.Size = 0;
    QVERIFY(!form_->ApplyFont(wanted, sink_));
    QCOMPARE(sink_.boxes.size(), 1);
    QCOMPARE(sink_.boxes[0],
             QString("Set Font|Couldn't set font FixedSys 0.\r\nPick another font from the\r\n"
                     "'Options/TNC, Messages, History, ...' menu.\r\n.\r\n"
                     "(380) Invalid property value."));
    FontSpec none;
    none.Name.clear();
    QVERIFY(form_->ApplyFont(none, sink_));
  }

  void colourSetsTheWindowAndBothPanes() {
    form_->SetPacketColor(3, 255);       // red text
    form_->SetPacketColor(4, 65280 * 256);  // blue background
    QCOMPARE(form_->Pane()->palette().color(QPalette::Text), QColor(255, 0, 0));
    QCOMPARE(form_->OutPane()->palette().color(QPalette::Text), QColor(255, 0, 0));
    QCOMPARE(form_->palette().color(QPalette::Window), QColor(0, 0, 255));
    QCOMPARE(form_->Pane()->palette().color(QPalette::Base), QColor(0, 0, 255));
  }

  void metricsAreMeasuredInTwips() {
    const PaneMetrics m = form_->Measure();
    const double tpp = TwipsPerPixelOf(form_.get());
    const QFontMetrics fm(form_->Pane()->font());
    QCOMPARE(m.LineHeight, qRound(fm.height() * tpp));
    QVERIFY(m.SpaceWidth > 0);
    QCOMPARE(m.LineColumns, qRound(form_->Pane()->width() * tpp) / m.SpaceWidth + 1);
    QCOMPARE(form_->Pane()->height(), qRound((m.LineHeight / 5.0 + m.LineHeight) / tpp));
  }

  void theTickBlinksThenRunsTheSendPath() {
    int ticks = 0;
    form_->SetTickHandler([&] {
      ++ticks;
      QVERIFY(form_->Editor().CaretDrawn());  // the blink came first
    });
    form_->CursorTimer().setInterval(10);
    QTRY_VERIFY(ticks >= 1);
  }
};

QTEST_MAIN(PacketWindowTest)
#include "packet_window_test.moc"
