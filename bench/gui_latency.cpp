// gui_latency: how fast the main window answers the keyboard, measured in
// the process: key events posted to the real window (line editor, window
// commands, send path, engine), times taken on the key line itself.
//
//   gui_latency [PRESSES [--sidetone]]     (default 200; --sidetone: through the sound server)
//
// typed: an "e" posted to the line with the keyer idle, until its first
//        key-down on the line;
// esc:   Esc posted while a long message keys, until the key is up.
#include <QApplication>
#include <QKeyEvent>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/clock.h"
#include "core/frame/attention_boxes.h"
#include "core/frame/open_window.h"
#include "core/frame/sent_echo.h"
#include "core/frame/window_commands.h"
#include "core/sending/engine_keyer.h"
#include "core/sending/send_path.h"
#include "core/sending/ticker.h"
#include "engine/timing/outputs.h"
#include "ui/in_box.h"
#include "ui/pkt_form.h"
#include "ui/qt_seams.h"

using namespace orvex;

namespace {

std::atomic<int64_t> g_down{0}, g_up{0};

class TimedLine : public engine::KeyLine {
 public:
  Result SetKey(bool down) override {
    (down ? g_down : g_up).store(MonotonicNs());
    return {};
  }
  Result SetPtt(bool) override { return {}; }
  void AllUp() noexcept override { g_up.store(MonotonicNs()); }
};

class NoServices : public WindowServices, public FileChooser, public MessageSink {
 public:
  bool Prompt(const Text&, const Text&, Text*, const PromptCheck&) override { return false; }
  void SetTitle(const Text&) override {}
  void OpenCWOptions() override {}
  void ShowHelp(int) override {}
  void ShowTextFile(const Text&) override {}
  void ExitProgram() override {}
  std::optional<std::string> ChooseFileToRead(const Text&, const Text&,
                                              const std::string&) override {
    return std::nullopt;
  }
  void Warning(const Text&, const Text&) override {}
  void Information(const Text&, const Text&) override {}
  bool Question(const Text&, const Text&) override { return false; }
};

void Post(QWidget* to, int key, const QString& text) {
  QCoreApplication::postEvent(to, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
  QCoreApplication::postEvent(to, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
}

// Runs the event loop until done() or 5 s.
template <typename Done>
bool Until(Done done) {
  const int64_t limit = MonotonicNs() + 5'000'000'000;
  while (!done() && MonotonicNs() < limit) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    QThread::usleep(50);
  }
  return done();
}

void Report(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  if (ms.empty()) return;
  std::printf("%-6s presses %zu  median %.2f ms  p99 %.2f ms  max %.2f ms\n", what, ms.size(),
              ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)], ms.back());
}

}  // namespace

int main(int argc, char** argv) {
  const int presses = argc > 1 ? std::atoi(argv[1]) : 200;
  // --sidetone: the sound card's sidetone as the program plays it (through
  // the sound server, rendered ahead: a run from idle waits for its tone).
  const bool sidetone = argc > 2 && std::string(argv[2]) == "--sidetone";
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  engine::KeyerEngine engine(
      {[](int, engine::LineChoice, std::unique_ptr<engine::KeyLine>* line) {
         *line = std::make_unique<TimedLine>();
         return Result();
       },
       [sidetone](engine::SidetoneDevice device) -> std::unique_ptr<engine::Sidetone> {
         if (sidetone) return engine::SystemOutputs().openSidetone(device);
         return std::make_unique<engine::NullSidetone>();
       }});
  EngineKeyer keyer(engine);
  NoServices services;
  ProgramState state;
  state.Env.CWPort = "COM1";
  state.Env.CWSpeed = 40;
  state.Env.Message(1) = std::string(200, 'T');
  state.Env.CWSidetone_Device = 4;
  state.Env.CWSidetone_Enable = sidetone ? 1 : 0;
  SystemClock clock;
  QtPauseTimer pause;
  QtRepeatingTimer tick;
  QtBeeper beeper;
  AttentionBoxes attention(services);
  SentEcho echo(keyer);
  SendPath send({keyer, state.Env, clock, pause, beeper, attention, "/tmp", &echo});
  LineEditor editor;
  send.SetTypeAhead(&editor);
  Ticker ticker(send, tick);
  WindowCommands commands(state, send, services, services, services, beeper);
  PktForm form(editor, commands, echo);
  form.ShowWindow();
  send.InitCW();
  send.OpenCWPort(1);
  send.SetKeyboardCW(true);
  ticker.Start();

  std::vector<double> typed, esc;
  for (int i = 0; i < presses; ++i) {
    Until([&] { return keyer.Pending() == 0 && keyer.Active() == 0; });
    g_down = 0;
    const int64_t t0 = MonotonicNs();
    Post(form.Pane(), Qt::Key_E, "e");
    if (Until([] { return g_down.load() != 0; })) typed.push_back((g_down - t0) / 1e6);
  }
  for (int i = 0; i < presses; ++i) {
    send.Stop();
    commands.Run(Command::SendMessage, 1);
    g_down = 0;
    Until([] { return g_down.load() != 0; });
    QThread::usleep(5000 + i * 37 % 20000);  // somewhere inside the keying
    g_up = 0;
    const int64_t t0 = MonotonicNs();
    Post(form.Pane(), Qt::Key_Escape, "");
    if (Until([] { return g_up.load() != 0; })) esc.push_back((g_up - t0) / 1e6);
  }
  Report("typed", typed);
  Report("esc", esc);
  return 0;
}
