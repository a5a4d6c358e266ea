// The main window: menus from the key table, keys into the line editor and
// the commands, fonts, colours, metrics, and placement saved at shut-down.
#include <QAction>
#include <QFontDatabase>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

#include "core/frame/shutdown.h"
#include "support/files.h"
#include "support/send_harness.h"
#include "ui/in_box.h"
#include "ui/pkt_form.h"
#include "ui/qt_text.h"
#include "ui/twips.h"

using namespace orvex;

class MainWindowTest : public QObject, public WindowServices {
  Q_OBJECT

  test::TempDir dir_;
  std::unique_ptr<test::SendHarness> h_;
  ProgramState state_;
  LineEditor editor_;
  struct NoChooser : FileChooser {
    std::optional<std::string> ChooseFileToRead(const Text&, const Text&, const std::string&) override {
      return std::nullopt;
    }
  } chooser_;
  std::unique_ptr<WindowCommands> commands_;
  std::unique_ptr<PktForm> form_;
  QList<int> helps_;
  int exits_ = 0;

  bool Prompt(const Text&, const Text&, Text*) override { return false; }
  void SetTitle(const Text& t) override { form_->setWindowTitle(ToQString(t)); }
  void OpenCWOptions() override {}
  void ShowHelp(int context) override { helps_ << context; }
  void ShowTextFile(const Text&) override {}
  void ExitProgram() override {
    ++exits_;
    Shutdown(state_, *form_, h_->send, h_->sink);
  }
  QAction* Action(const char* name) { return form_->findChild<QAction*>(name); }
  std::string Saved() { return test::ReadFile(dir_.File("orvex.ini")); }

 private slots:
  void init() {
    state_ = ProgramState();
    h_ = std::make_unique<test::SendHarness>();
    h_->settings.Message(3) = "TEST";
    state_.EnvFile = std::make_unique<EnvironmentFile>(dir_.File("orvex.ini"), h_->sink, state_.Captions);
    state_.PacketOpen = true;
    editor_.Reset();
    h_->send.SetTypeAhead(&editor_);
    commands_ = std::make_unique<WindowCommands>(state_, h_->send, h_->sink, *this, chooser_, h_->beeper);
    form_ = std::make_unique<PktForm>(editor_, *commands_);
    form_->RestorePlacement(state_.Env);
    form_->ShowRestored();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    helps_.clear();
    exits_ = 0;
    std::remove(dir_.File("orvex.ini").c_str());
  }
  void cleanup() { form_.reset(); }

  void menusCarryTheirCaptionsShortcutsAndTopics() {
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
    QCOMPARE(Action("ReqCw4")->property("helpContext").toInt(), 0);
    QCOMPARE(Action("ReqCw5")->property("helpContext").toInt(), 160);
    form_->CaptionChanged(3, "&3: TU 5NN & 73");
    QCOMPARE(Action("ReqCw3")->text(), QString("&3: TU 5NN && 73"));
  }

  void keysEditTheLineSendStopBeepAndOpenHelp() {
    QTest::keyClicks(form_->Pane(), "cq test");
    QTest::keyClick(form_->Pane(), Qt::Key_Home);
    QTest::keyClick(form_->Pane(), Qt::Key_Tab);
    QCOMPARE(editor_.CaretColumn(), 4);
    QVERIFY(form_->Pane()->hasFocus());  // Tab never leaves the pane
    QTest::keyClick(form_->Pane(), Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(editor_.InputLine(), Text());
    QTest::keyClick(form_->Pane(), Qt::Key_F3);
    QCOMPARE(ToQString(h_->send.Queue().LastMessage), QString("TEST\r\n"));
    QVERIFY(h_->Count("ELEMENT 0 3") > 0);
    QTest::keyClick(form_->Pane(), Qt::Key_Escape);
    QVERIFY(h_->Count("ABORT 0 0") == 1);
    QTest::keyClick(form_->Pane(), Qt::Key_F5, Qt::ShiftModifier);
    QTest::keyClick(form_->Pane(), Qt::Key_F6, Qt::AltModifier);
    QCOMPARE(h_->beeper.beeps, 1);
    QTest::keyClick(form_->Pane(), Qt::Key_F1);
    QTest::keyClick(form_.get(), Qt::Key_F9);
    QCOMPARE(form_->windowTitle(), QString(" Orvex - 29 WPM"));
    QMenu* cw = form_->findChild<QMenu*>("MenuCW");
    cw->popup(QPoint(0, 0));
    QVERIFY(QTest::qWaitForWindowExposed(cw));
    for (const char* item : {"ReqSetHim", "ReqNextCWSpeed", "ReqCw4"}) {
      cw->setActiveAction(Action(item));
      QTest::keyClick(cw, Qt::Key_F1);
    }
    cw->close();
    QCOMPARE(helps_, (QList<int>{150, 160, 150, 150}));
  }

  void fontsColoursAndMetrics() {
    FontSpec wanted;
    wanted.Name = "FixedSys";  // not on this system: the system's fixed font
    wanted.Size = 12;
    wanted.Bold = true;
    QVERIFY(form_->ApplyFont(wanted, h_->sink));
    QCOMPARE(form_->Pane()->font().family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    QVERIFY(form_->Pane()->font().bold());
    wanted.Size = 0;
    QVERIFY(!form_->ApplyFont(wanted, h_->sink));
    QCOMPARE(QString::fromStdString(h_->sink.Last()),
             QString("Set Font|Couldn't set font FixedSys 0.\r\nPick another font from the\r\n"
                     "'Options/TNC, Messages, History, ...' menu.\r\n.\r\n(380) Invalid property value."));
    form_->SetPacketColor(3, 255);
    form_->SetPacketColor(4, 65280 * 256);
    QCOMPARE(form_->Pane()->palette().color(QPalette::Text), QColor(255, 0, 0));
    QCOMPARE(form_->Pane()->palette().color(QPalette::Base), QColor(0, 0, 255));
    const PaneMetrics m = form_->Measure();
    const double tpp = TwipsPerPixelOf(form_.get());
    QCOMPARE(m.LineHeight, qRound(QFontMetrics(form_->Pane()->font()).height() * tpp));
    QCOMPARE(m.LineColumns, qRound(form_->Pane()->width() * tpp) / m.SpaceWidth + 1);
  }

  void placementIsRestoredAndSavedInTwipsThroughEveryClose() {
    const double tpp = TwipsPerPixelOf(form_.get());
    QCOMPARE(form_->width(), qRound(7350 / tpp));  // no saved placement: default size
    form_->move(30, 40);
    Action("MenuExit")->trigger();
    QVERIFY(!form_->isVisible());
    QVERIFY(exits_ >= 1);  // every way of closing ends the program
    QVERIFY(state_.ShutdownDone);
    QVERIFY(test::Contains(Saved(), "PacketTop= " + std::to_string(qRound(40 * tpp)) + " \r\n"));
    EnvSettings env;
    env.PacketTop = env.PacketLeft = env.PacketHeight = 1500;
    env.PacketWidth = 6000;
    env.PacketState = 2;
    PktForm maximized(editor_, *commands_);
    maximized.RestorePlacement(env);
    maximized.ShowRestored();
    QVERIFY(maximized.isMaximized());
    QCOMPARE(maximized.State(), WindowState::Maximized);
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
