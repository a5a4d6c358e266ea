// CW Options, the prompt, the viewer and help, the message boxes and the
// single-instance check, driven through their widgets.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include "core/config/settings_table.h"
#include "support/files.h"
#include "support/send_harness.h"
#include "ui/cw_options_dialog.h"
#include "ui/help_window.h"
#include "ui/prompt.h"
#include "ui/qt_text.h"
#include "ui/read_me.h"
#include "ui/single_instance.h"

using namespace orvex;

// Runs act on the modal dialog of type T once it is up.
template <typename T>
void WhenUp(std::function<void(T*)> act) {
  QTimer::singleShot(0, [act] {
    auto* d = qobject_cast<T*>(QApplication::activeModalWidget());
    QVERIFY(d);
    act(d);
  });
}

class DialogsTest : public QObject, public CWOptionsActions {
  Q_OBJECT
  test::RecordingSink sink_;
  test::TempDir dir_;
  QList<CWOptionsEntries> saved_;
  int helps_ = 0;

  bool Save(const CWOptionsEntries& e) override {
    saved_ << e;
    return e.typed.at("CWSpeed") != "0";
  }
  void Help() override { ++helps_; }
  // The speed prompt checks with the speed's own limits; a call is free.
  bool Ask(const Text& label, Text* text, std::function<void(Prompt*)> act) {
    WhenUp<Prompt>(act);
    const PromptCheck speeds{"Set CW Speed", [](const Text& typed) {
                               long long speed = 0;
                               return SettingFor(&EnvSettings::CWSpeed).CheckNumber(typed, &speed);
                             }};
    return ShowPrompt("Set Speed", label, text, sink_, nullptr,
                      label == "Speed" ? speeds : PromptCheck{});
  }
  static void Answer(Prompt* p, const QString& typed) {
    p->PromptText()->setText(typed);
    QTest::keyClick(p->PromptText(), Qt::Key_Return);
  }

 private slots:
  // The dialog is drawn from the settings rows: each field by its key.
  void cwOptionsStaysOpenUntilSaveSucceeds() {
    CWEnv dialog(EntriesFrom(EnvSettings{}), *this, nullptr);
    dialog.show();
    auto edit = [&](const char* key) { return qobject_cast<QLineEdit*>(dialog.Field(key)); };
    auto choice = [&](const char* key) { return qobject_cast<QComboBox*>(dialog.Field(key)); };
    edit("CWSpeed")->setText("0");
    QTest::keyClick(edit("CWSpeed"), Qt::Key_Return);  // Enter is Save
    QVERIFY(dialog.isVisible());
    edit("CWSpeed")->setText("35");
    dialog.findChild<QRadioButton*>("CWSidetone_Device4")->setChecked(true);
    QVERIFY(choice("CWPttLine")->isEnabled());
    choice("CWKeyer")->setCurrentText("WinKeyer");  // its own outputs: the lines are not chosen
    QVERIFY(!choice("CWKeyLine")->isEnabled() && !choice("CWPttLine")->isEnabled());
    QVERIFY(!edit("RigModel")->isEnabled() && !edit("RemoteKeyer")->isEnabled());
    choice("CWKeyer")->setCurrentText("Rig");  // the radio's keyer: its model named as typed
    QVERIFY(edit("RigModel")->isEnabled() && !edit("RemoteKeyer")->isEnabled());
    edit("RigModel")->setText("99998");
    QCOMPARE(dialog.Note("RigModel")->text(), QString("unknown model"));
    edit("RigModel")->setText("33001");  // beyond 16 bits, as every number may be
    choice("CWKeyer")->setCurrentText("WinKeyer");
    QTest::keyClicks(edit("CWTone"), "12345");  // a fifth digit cannot be typed
    dialog.CmdHelp()->click();
    dialog.SaveButton()->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(saved_.size(), 2);
    QCOMPARE(saved_[1].typed.at("CWSpeed"), Text("35"));
    QCOMPARE(saved_[1].typed.at("CWSidetone_Device"), Text("4"));
    QCOMPARE(saved_[1].typed.at("CWKeyer") + saved_[1].typed.at("CWPttLine"), Text("WinKeyerRTS"));
    QCOMPARE(saved_[1].typed.at("CWTone").size(), size_t{4});
    QCOMPARE(saved_[1].typed.at("RigModel"), Text("33001"));
    QCOMPARE(saved_[1].typed.at("NrDigits"), Text("3"));  // the contest's, on their tab
    QCOMPARE(helps_, 1);
  }

  void thePromptRefusesASpeedBeyondItsLimitsAndTrimsACall() {
    Text text = "28";
    bool stayed = false;
    QVERIFY(!Ask("Speed", &text, [&](Prompt* p) {
      Answer(p, "99.5");
      stayed = p->isVisible();
      p->reject();
    }));
    QVERIFY(stayed);
    QCOMPARE(QString::fromStdString(sink_.Last()), QString("Set CW Speed|Speed must be 1 - 99."));
    QVERIFY(Ask("Call", &text, [](Prompt* p) { Answer(p, "  g4 xyz  "); }));
    QCOMPARE(text, Text("g4 xyz"));
  }

  void oneViewerWindowTitledWithItsFileAndHelpAtItsTopic() {
    test::WriteFile(dir_.File("readme.txt"), "Hello\nWorld\n");
    QWidget parent;
    TextViewer viewer(sink_, &parent);
    viewer.ShowTextFile("readme.txt", dir_.File("readme.txt"));
    ReadMe* window = viewer.Window();
    QCOMPARE(window->windowTitle(), QString("readme.txt"));
    QCOMPARE(window->TextBox()->toPlainText(), QString("\n  Hello\n  World"));
    QTest::keyClick(window->TextBox(), Qt::Key_Escape);
    QVERIFY(!window->isVisible());
    test::WriteFile(dir_.File("pelo.hlp"),
                    "<html><body><h1><a name=\"topic150\"></a>Window</h1>"
                    "<h1><a name=\"topic160\"></a>Macros</h1></body></html>");
    HelpViewer help;
    help.ShowHelp(dir_.File("pelo.hlp"), 160);
    QVERIFY(help.Window()->Browser()->toPlainText().contains("Macros"));
    help.Window()->FindField()->setText("window");
    QVERIFY(help.Window()->FindNext());
    QCOMPARE(help.Window()->Browser()->textCursor().selectedText(), QString("Window"));
  }

  void aSecondStartAsksTheFirstToComeForwardAndAStaleSocketIsNoObstacle() {
    const QString name = QString::fromStdString(dir_.File("instance"));
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

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
