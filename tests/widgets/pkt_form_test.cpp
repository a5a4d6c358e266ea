// The packet window frame: placement restored and saved in twips through the
// real shut-down sequence.
#include <QAction>
#include <QTemporaryDir>
#include <QtTest>

#include "app/qt_text.h"
#include "app/shutdown.h"
#include "app/stderr_message_sink.h"
#include "app/twips.h"
#include "config/atomic_file.h"
#include "packet/pkt_form.h"

using namespace orvex;

class PktFormTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  StderrMessageSink sink_;

  std::unique_ptr<ProgramState> State(const EnvSettings& env) {
    auto state = std::make_unique<ProgramState>();
    state->Env = env;
    state->EnvFile = std::make_unique<EnvironmentFile>(
        dir_.filePath("orvex.ini").toStdString(), sink_, state->Captions);
    state->PacketOpen = true;
    return state;
  }
  std::string Saved() {
    std::string bytes;
    ReadWholeFile(dir_.filePath("orvex.ini").toStdString(), bytes, nullptr);
    return bytes;
  }

 private slots:
  void init() { QFile::remove(dir_.filePath("orvex.ini")); }

  void noSavedPlacementCentresTheDefaultSize() {
    PktForm form;
    form.RestorePlacement(EnvSettings{});
    const double tpp = TwipsPerPixelOf(&form);
    QCOMPARE(form.width(), qRound(7350 / tpp));
    QCOMPARE(form.height(), qRound(1200 / tpp));
    const QRect screen = form.screen()->geometry();
    QCOMPARE(form.x(), (screen.width() - form.width()) / 2);
  }

  void unmovedWindowIsNotWrittenAtExit() {
    EnvSettings env;
    const double tpp = 15;  // settings written at 96 dpi...
    env.PacketTop = static_cast<int32_t>(100 * tpp);
    env.PacketLeft = static_cast<int32_t>(50 * tpp);
    env.PacketWidth = static_cast<int32_t>(400 * tpp);
    env.PacketHeight = static_cast<int32_t>(90 * tpp);
    PktForm form;
    if (TwipsPerPixelOf(&form) != 15) QSKIP("screen is not 96 dpi");
    auto state = State(env);
    form.RestorePlacement(env);
    form.ShowRestored();
    QCOMPARE(form.pos(), QPoint(50, 100));
    Shutdown(*state, form, {}, sink_);
    QVERIFY(Saved().empty());
    QVERIFY(!form.isVisible());
  }

  void movedWindowIsWrittenInTwips() {
    EnvSettings env;
    PktForm form;
    auto state = State(env);
    form.RestorePlacement(env);
    form.ShowRestored();
    form.move(30, 40);
    Shutdown(*state, form, {}, sink_);
    const double tpp = TwipsPerPixelOf(&form);
    const std::string top = "PacketTop= " + std::to_string(qRound(40 * tpp)) + " \r\n";
    QVERIFY2(Saved().find(top) != std::string::npos, Saved().c_str());
  }

  void maximizedWindowIsRestoredMaximizedAndSavedAsStateTwo() {
    EnvSettings env;
    env.PacketTop = 1500;
    env.PacketLeft = 1500;
    env.PacketWidth = 6000;
    env.PacketHeight = 1500;
    env.PacketState = 2;
    auto state = State(env);
    state->Env.PacketState = 0;  // as if it was normal when the program started
    PktForm form;
    form.RestorePlacement(env);
    form.ShowRestored();
    QVERIFY(form.isMaximized());
    QCOMPARE(form.State(), WindowState::Maximized);
    Shutdown(*state, form, {}, sink_);
    const std::string saved = Saved();
    QVERIFY(saved.find("PacketTop= 1500 \r\n") != std::string::npos);
    QVERIFY(saved.find("PacketState= 2 \r\n") != std::string::npos);
  }

  void everyCloseRunsTheExitHandlerOnce() {
    PktForm form;
    int exits = 0;
    auto state = State(EnvSettings{});
    form.SetExitHandler([&] {
      ++exits;
      Shutdown(*state, form, {}, sink_);
    });
    form.ShowRestored();
    QAction* exitAction = form.findChild<QAction*>("MenuExit");
    QVERIFY(exitAction);
    QCOMPARE(exitAction->text(), QString("E&xit"));
    exitAction->trigger();
    QVERIFY(!form.isVisible());
    QVERIFY(state->ShutdownDone);
    QVERIFY(exits >= 1);
    QVERIFY(!Saved().empty());  // the first exit with no saved placement writes it
  }
};

QTEST_MAIN(PktFormTest)
#include "pkt_form_test.moc"
