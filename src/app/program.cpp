#include "app/program.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QStringList>

#include "app/qt_text.h"
#include "app/single_instance.h"
#include "app/start_form.h"
#include "app/startup.h"
#include "app/program_paths.h"
#include "config/cw_env.h"
#include "dialogs/about.h"
#include "dialogs/read_me.h"
#include "dialogs/prompt.h"
#include "keyer/cw_func.h"
#include "packet/in_box.h"
#include "packet/packet_commands.h"
#include "packet/pkt_form.h"

namespace orvex {
namespace {

class QtStartupUi : public StartupUi {
 public:
  void ShowStartForm(const Text& title, const std::string& iconPath) override {
    form_ = std::make_unique<StartForm>(ToQString(title), QString::fromStdString(iconPath));
    form_->show();
    QCoreApplication::processEvents();
  }
  void ProcessEvents() override { QCoreApplication::processEvents(); }
  void CloseStartForm() override { form_.reset(); }

 private:
  std::unique_ptr<StartForm> form_;
};

std::optional<std::string> Env(const char* name) {
  if (!qEnvironmentVariableIsSet(name)) return std::nullopt;
  return qEnvironmentVariable(name).toStdString();
}

}  // namespace

Program::Program() : keyer_(std::make_unique<EngineKeyer>(keyer::ProcessEngine())) {
  hooks_.EndCWFile = [this] {
    if (send_) send_->File().EndCWFile();
  };
  hooks_.CloseCWPort = [this] {
    if (send_) send_->Keying().CloseCWPort();
  };
}

Program::~Program() = default;

int Program::Main(int& argc, char** argv) {
  QApplication app(argc, argv);
  app.setApplicationName("Orvex");

  SingleInstance instance(SingleInstance::DefaultName());
  if (instance.AnotherIsRunning()) return 0;
  instance.SetActivateHandler([this] { BringToFront(); });

  QStringList args = app.arguments();
  args.removeFirst();
  // Installed files sit in ../share/orvex beside bin/, in the build tree too.
  const QString shipped = QDir(QCoreApplication::applicationDirPath() + "/../share/orvex")
                              .absolutePath();
  StartupEnvironment env{Env("PELORIN"), Env("PELO"), QDir::currentPath().toStdString(),
                         args.join(' ').toStdString(), shipped.toStdString()};
  QtStartupUi ui;
  if (!Startup(state_, env, ui, sink_)) return 1;
  app.setWindowIcon(QIcon(QString::fromStdString(state_.IconFile)));  // a missing icon is no error

  pauseTimer_ = std::make_unique<QtPauseTimer>();
  send_ = std::make_unique<SendPath>(*keyer_, state_.Keying, state_.Env, clock_, *pauseTimer_,
                                     beeper_, sink_, state_.ProgramDir);
  if (!OpenPacketWindow()) {
    ExitProgram();
    form_.reset();
    return 1;
  }
  state_.Keying.KeyboardCW = true;
  commands_->UpdateTitle();
  const int status = app.exec();
  viewer_.reset();  // widgets go before the application object does
  help_.reset();
  form_.reset();
  return status;
}

bool Program::OpenPacketWindow() {
  state_.PacketOpen = false;
  form_ = std::make_unique<PktForm>();
  PktForm& form = *form_;
  chooser_ = std::make_unique<QtFileChooser>(&form, sink_);
  viewer_ = std::make_unique<TextViewer>(sink_, &form);
  help_ = std::make_unique<HelpViewer>(&form);
  PacketSeams seams;
  seams.prompt = [this](const Text& title, const Text& label, Text* text) {
    return ShowPrompt(title, label, text, sink_, form_.get());
  };
  seams.setTitle = [this](const Text& title) { form_->setWindowTitle(ToQString(title)); };
  seams.beep = [this] { beeper_.Beep(); };
  seams.chooser = chooser_.get();
  seams.about = [this] { ShowAbout(sink_); };
  seams.help = [this](int context) { help_->ShowHelp(state_.HelpFile, context); };
  seams.showTextFile = [this](const Text& name) {
    viewer_->ShowTextFile(name, ShippedFilePath(Cp1252ToUtf8(name), state_.ProgramDir,
                                                state_.ShippedDir));
  };
  seams.cwOptions = [this] {
    CWEnv dialog(
        EntriesFrom(state_.Env),
        [this](const CWOptionsEntries& e) {
          return ApplyCWOptions(e, state_, send_->Keying(), sink_);
        },
        [this] { help_->ShowHelp(state_.HelpFile, 150); }, form_.get());
    dialog.exec();
  };
  commands_ = std::make_unique<PacketCommands>(state_, *send_, sink_, std::move(seams));
  form.SetCommands(commands_.get(),
                   [this](int context) { help_->ShowHelp(state_.HelpFile, context); });
  form.SetExitHandler([this] { ExitProgram(); });
  form.SetTickHandler([this] { send_->Tick(); });
  send_->SetTypeAhead(&form.Editor());

  // Captions read from the environment file, and every later change.
  for (int n = 1; n <= 8; ++n)
    if (!state_.Captions.Caption(n).empty()) form.SetMessageCaption(n, state_.Captions.Caption(n));
  state_.Captions.SetListener([this](int n, const Text& caption) {
    if (form_) form_->SetMessageCaption(n, caption);
  });

  const EnvSettings& s = state_.Env;
  if (s.ColorPktFore != 0) {
    form.SetPacketColor(3, s.ColorPktFore);
    state_.EnvFile->WriteEnvironmentFile(state_.Env);
    if (s.ColorPktBack != 0) {
      form.SetPacketColor(4, s.ColorPktBack);
      state_.EnvFile->WriteEnvironmentFile(state_.Env);
    }
  }
  const FontSpec font{s.PacketFontName,      s.PacketFontSize,         s.PacketFontBold != 0,
                      s.PacketFontItalic != 0, s.PacketFontUnderline != 0,
                      s.PacketFontStrikeThru != 0};
  if (!form.ApplyFont(font, sink_)) return false;
  form.RestorePlacement(s);
  form.Editor().Reset();
  form.Measure();
  send_->Keying().InitCW();
  send_->Keying().OpenCWPort(state_.CWPortCode);  // a failure has shown its box; the window opens
  form.ShowRestored();
  state_.PacketOpen = true;
  form.CursorTimer().setInterval(100);
  return true;
}

void Program::ExitProgram() {
  if (form_) Shutdown(state_, *form_, hooks_, sink_);
  QCoreApplication::exit(0);
}

void Program::BringToFront() {
  if (!form_ || !state_.PacketOpen) return;
  form_->setWindowState(form_->windowState() & ~Qt::WindowMinimized);
  form_->show();
  form_->raise();
  form_->activateWindow();
}

}  // namespace orvex
