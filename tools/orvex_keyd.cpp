// orvex-keyd: keys the radio for a logger, without a window. It listens for
// the UDP keying protocol that Tlf, CQRLOG and other loggers speak and keys
// the configured port with the same engine and send path as the program.
// Runs in the foreground; Ctrl+C or SIGTERM stop it with the key and PTT up.
#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "base/program_paths.h"
#include "core/config/net_address.h"
#include "core/config/port_name.h"
#include "core/frame/attention_boxes.h"
#include "core/net/net_service.h"
#include "core/sending/deadline_timer.h"
#include "core/sending/engine_keyer.h"
#include "core/sending/send_path.h"
#include "core/sending/ticker.h"
#include "engine/keyer_engine.h"
#include "engine/outputs.h"
#include "tool_loop.h"

namespace {

using namespace orvex;

constexpr const char* kUsage =
    "usage: orvex-keyd [--ini FILE] [--port NAME] [--wpm N] [--tone HZ] [--listen ADDR:PORT]\n"
    "  --ini FILE          the environment file (default: orvex.ini in the program directory)\n"
    "  --port NAME         the port to key: None, COM1..COM8, LPT1, LPT2 or a device path\n"
    "                      (default: from the file)\n"
    "  --wpm N             speed at start and after a reset, 4 to 60 (default: from the file)\n"
    "  --tone HZ           sidetone pitch, 0 to 4000 Hz (default: from the file)\n"
    "  --listen ADDR:PORT  where loggers send (default: the file's NetKeyer, else\n"
    "                      127.0.0.1:6789; a port alone listens on this computer only)\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "orvex-keyd: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

// A logger may end the daemon and move it to another port.
class Daemon : public NetControl {
 public:
  Daemon(SendPath& send, EnvSettings& settings) : send_(send), settings_(settings) {}
  bool Exit() override { return true; }
  bool SetDevice(std::string_view name) override {
    int16_t code = 0;
    if (const Result parsed = ParseCWPort(Utf8ToCp1252(name), &code); !parsed.ok()) {
      std::fprintf(stderr, "orvex-keyd: keying device: %s\n", Cp1252ToUtf8(parsed.text()).c_str());
      return false;
    }
    settings_.CWPort = Utf8ToCp1252(name);
    send_.OpenCWPort(code);  // a failure says so in its own words
    return true;
  }

 private:
  SendPath& send_;
  EnvSettings& settings_;
};

}  // namespace

int main(int argc, char** argv) {
  std::optional<std::string> ini, port, wpm, tone, listen;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    std::optional<std::string>* into = arg == "--ini"      ? &ini
                                       : arg == "--port"   ? &port
                                       : arg == "--wpm"    ? &wpm
                                       : arg == "--tone"   ? &tone
                                       : arg == "--listen" ? &listen
                                                           : nullptr;
    if (!into) return Usage("unknown argument '" + arg + "'");
    if (i + 1 >= argc) return Usage(arg + " needs a value");
    *into = argv[++i];
  }

  StderrMessageSink sink;
  const std::string programDir = FindProgramDir(ProcessPlaces::FromEnvironment(), "orvex.ini");
  EnvironmentFile file(ini ? *ini : EnvironmentFilePath("", programDir));
  EnvRead read = tools::ReadSettings(file, sink);
  EnvSettings& settings = read.settings;
  int16_t portCode = read.portCode;
  // The protocol's own speed and tone ranges, narrower than the settings'.
  if (wpm)
    if (Result r = tools::SetFromOption(settings, SettingFor(&EnvSettings::CWSpeed), "--wpm", *wpm,
                                        kNetSpeedLimits);
        !r.ok())
      return Usage(r.text());
  if (tone)
    if (Result r = tools::SetFromOption(settings, SettingFor(&EnvSettings::CWTone), "--tone", *tone,
                                        kNetToneLimits);
        !r.ok())
      return Usage(r.text());
  if (port) {
    if (Result parsed = ParseCWPort(Utf8ToCp1252(*port), &portCode); !parsed.ok())
      return Usage(Cp1252ToUtf8(parsed.text()));
    settings.CWPort = Utf8ToCp1252(*port);
  }
  // Where the file says loggers key the program, unless told otherwise.
  const std::string where = listen                       ? *listen
                            : !settings.NetKeyer.empty() ? Cp1252ToUtf8(settings.NetKeyer)
                                                         : std::to_string(kNetKeyerPort);

  SystemClock clock;
  engine::KeyerEngine engine(engine::SystemOutputs(), engine::KeyLog::FromEnvironment());
  EngineKeyer keyer(engine);
  DeadlineTimer timer(clock);
  tools::StderrBeeper beeper("orvex-keyd");
  AttentionBoxes attention(sink);
  SendPath send({keyer, settings, clock, timer, beeper, attention, programDir, nullptr});
  Daemon daemon(send, settings);
  std::unique_ptr<NetService> net;
  if (const Result opened = NetService::Open(where, send, keyer, daemon, &net); !opened.ok()) {
    std::fprintf(stderr, "orvex-keyd: %s\n", opened.text().c_str());
    return 1;
  }
  send.InitCW();
  if (!send.OpenCWPort(portCode).ok()) return 1;
  std::fprintf(stderr, "orvex-keyd: keying %s for loggers on UDP %s\n",
               Cp1252ToUtf8(settings.CWPort).c_str(), net->Address().c_str());

  tools::LoopTimer loop;
  Ticker ticker(send, loop);
  ticker.Start();
  int64_t nextTick = clock.MonotonicMs() + loop.Interval();
  while (!net->Exiting()) {
    // While text or a reply waits, wake every millisecond: a character
    // goes out as the one before it ends, a reply as its text ends.
    const int64_t now = clock.MonotonicMs();
    const int wait =
        net->Busy() ? 1 : static_cast<int>(std::clamp<int64_t>(nextTick - now, 0, 100));
    pollfd in{net->Fd(), POLLIN, 0};
    poll(&in, 1, wait);
    net->Read();
    if (net->Exiting()) break;
    timer.Poll();
    if (clock.MonotonicMs() >= nextTick) {
      loop.Fire();
      nextTick = clock.MonotonicMs() + loop.Interval();
    }
    net->Service();
  }
  send.CloseCWPort();
  const NetKeyer::Counts& totals = net->Totals();
  if (totals.ignored + totals.refused + net->Dropped() > 0)
    std::fprintf(stderr,
                 "orvex-keyd: %llu requests; %llu malformed or unknown ignored, %llu refused for "
                 "a full queue, %llu from other computers dropped\n",
                 static_cast<unsigned long long>(totals.requests),
                 static_cast<unsigned long long>(totals.ignored),
                 static_cast<unsigned long long>(totals.refused),
                 static_cast<unsigned long long>(net->Dropped()));
  return 0;
}
