#include "app/program.h"

#include <QApplication>
#include <QDir>
#include <QStringList>

#include "app/qt_text.h"
#include "app/single_instance.h"
#include "app/start_form.h"
#include "app/startup.h"
#include "keyer/cw_func.h"
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

Program::Program()
    : keyer_(std::make_unique<EngineKeyer>(keyer::ProcessEngine())),
      keying_(std::make_unique<CwKeying>(state_.Keying, state_.Env, *keyer_, sink_)) {
  hooks_.CloseCWPort = [this] { keying_->CloseCWPort(); };
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
  StartupEnvironment env{Env("PELORIN"), Env("PELO"), QDir::currentPath().toStdString(),
                         args.join(' ').toStdString()};
  QtStartupUi ui;
  if (!Startup(state_, env, ui, sink_)) return 1;

  if (!OpenPacketWindow()) {
    ExitProgram();
    form_.reset();
    return 1;
  }
  state_.Keying.KeyboardCW = true;
  form_->setWindowTitle(ToQString(PacketTitle(state_.Keying.CurrentSpeed)));
  const int status = app.exec();
  form_.reset();  // widgets go before the application object does
  return status;
}

bool Program::OpenPacketWindow() {
  state_.PacketOpen = false;
  form_ = std::make_unique<PktForm>();
  form_->SetExitHandler([this] { ExitProgram(); });
  form_->RestorePlacement(state_.Env);
  keying_->InitCW();
  keying_->OpenCWPort(state_.CWPortCode);  // a failure has shown its box; the window opens anyway
  form_->ShowRestored();
  state_.PacketOpen = true;
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
