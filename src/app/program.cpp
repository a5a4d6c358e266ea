#include "app/program.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QStringList>
#include <cstdio>

#include "base/program_paths.h"
#include "core/config/port_name.h"
#include "core/frame/apply_cw_options.h"
#include "core/frame/shutdown.h"
#include "core/frame/startup.h"
#include "engine/timing/outputs.h"
#include "ui/cw_options_dialog.h"
#include "ui/help_window.h"
#include "ui/pkt_form.h"
#include "ui/prompt.h"
#include "ui/qt_text.h"
#include "ui/read_me.h"
#include "ui/single_instance.h"
#include "ui/start_form.h"

namespace orvex {
namespace {

class QtStartupUi : public StartupUi {
 public:
  Result ShowStartForm(const Text& title, const std::string& iconPath) override {
    form_ = std::make_unique<StartForm>(ToQString(title), QString::fromStdString(iconPath));
    form_->show();
    QCoreApplication::processEvents();
    return {};
  }
  void LetEventsRun() override { QCoreApplication::processEvents(); }
  void CloseStartForm() override { form_.reset(); }

 private:
  std::unique_ptr<StartForm> form_;
};

}  // namespace

Program::Program() : engine_(engine::SystemOutputs(), engine::KeyLogOrSay("orvex")) {}

Program::~Program() = default;

int Program::Main(int& argc, char** argv) {
  QApplication app(argc, argv);
  app.setApplicationName("Orvex");

  // Qt has taken its own options (-platform, -style) out of the arguments:
  // what is left names the environment file, or is an option Orvex does
  // not know, which must not become a settings file of that name.
  std::vector<std::string> words;
  for (const QString& arg : app.arguments().mid(1)) words.push_back(arg.toStdString());
  const CommandLineAsk ask = ReadCommandLine(words);
  if (ask.what == CommandLineAsk::What::Refused) {
    std::fprintf(stderr, "orvex: %s\n%s", ask.problem.c_str(), kOrvexUsage);
    return 2;
  }
  if (const std::string answer = CommandLineAnswer(ask); !answer.empty()) {
    std::fputs(answer.c_str(), stdout);
    return 0;
  }

  SingleInstance instance(SingleInstance::DefaultName());
  if (instance.AnotherIsRunning()) return 0;
  QObject::connect(&instance, &SingleInstance::activated, [this] { BringToFront(); });

  // Installed files sit in ../share/orvex beside bin/, in the build tree too.
  const QString shipped =
      QDir(QCoreApplication::applicationDirPath() + "/../share/orvex").absolutePath();
  StartupEnvironment env{ProcessPlaces::FromEnvironment(), ask.file, shipped.toStdString()};
  QtStartupUi ui;
  if (!Startup(state_, env, ui, sink_)) return 1;
  app.setWindowIcon(QIcon(QString::fromStdString(state_.IconFile)));  // a missing icon is no error

  pauseTimer_ = std::make_unique<QtPauseTimer>();
  tickTimer_ = std::make_unique<QtRepeatingTimer>();
  Remedies remedies;
  remedies.silentStartShown = true;  // the status bar's sidetone field says it
  send_ =
      std::make_unique<SendPath>(SendPath::Parts{keyer_, state_.Env, clock_, *pauseTimer_, beeper_,
                                                 attention_, state_.ProgramDir, &echo_, remedies});
  echo_.Watch(&send_->Queue());
  send_->SetTypeAhead(&editor_);
  ticker_ = std::make_unique<Ticker>(*send_, *tickTimer_);
  chooser_ = std::make_unique<QtFileChooser>(sink_);
  PacketWindowFactory& factory = *this;
  if (!OpenPacketWindow(state_, *send_, editor_, factory, sink_)) {
    ExitProgram();
    form_.reset();
    return 1;
  }
  ticker_->Start();
  send_->SetKeyboardCW(true);
  net_ = std::make_unique<NetLink>(*send_, keyer_, state_.Env, sink_, attention_);
  net_->Apply();
  commands_->UpdateTitle();
  const int status = app.exec();
  ticker_->Stop();
  net_.reset();
  viewer_.reset();  // widgets go before the application object does
  help_.reset();
  form_.reset();
  return status;
}

Result Program::CreatePacketWindow(PacketWindowSetup** window) {
  WindowServices& services = *this;
  commands_ = std::make_unique<WindowCommands>(state_, *send_, sink_, services, *chooser_, beeper_);
  form_ = std::make_unique<PktForm>(editor_, *commands_, echo_);
  chooser_->SetParent(form_.get());
  viewer_ = std::make_unique<TextViewer>(sink_, form_.get());
  help_ = std::make_unique<HelpViewer>();
  // Captions read from the environment file, and every later change.
  for (int n = 1; n <= 8; ++n)
    if (!state_.Captions.Caption(n).empty()) form_->CaptionChanged(n, state_.Captions.Caption(n));
  state_.Captions.SetListener(form_.get());
  *window = form_.get();
  return {};
}

bool Program::Prompt(const Text& title, const Text& label, Text* text, const PromptCheck& check) {
  return ShowPrompt(title, label, text, sink_, form_.get(), check);
}

void Program::SetTitle(const Text& title) {
  if (!form_) return;
  form_->setWindowTitle(ToQString(title));
  form_->RefreshStatus();  // the speed box with the title
}

void Program::OpenCWOptions() {
  struct Actions : CWOptionsActions {
    CWOptionsSession session;
    Program& p;
    explicit Actions(Program& program)
        : session(program.state_, *program.send_, program.sink_), p(program) {}
    bool Save(const CWOptionsEntries& e) override { return session.Save(e); }
    void Help() override { p.ShowHelp(150); }
  } actions(*this);
  CWEnv dialog(actions.session.Entries(), actions, form_.get(), send_->SidetoneText(),
               SerialDevices("/dev"));
  // Modal for the main window only: the help it opens stays usable.
  dialog.setWindowModality(Qt::WindowModal);
  if (dialog.exec() != QDialog::Accepted) actions.session.Cancel();
  if (net_) net_->Apply();
}

void Program::ShowHelp(int context) {
  help_->ShowHelp(state_.HelpFile, context);
}

void Program::ShowTextFile(const Text& name) {
  viewer_->ShowTextFile(name,
                        ShippedFilePath(Cp1252ToUtf8(name), state_.ProgramDir, state_.ShippedDir));
}

void Program::ExitProgram() {
  if (form_) Shutdown(state_, *form_, *send_, sink_);
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
