// orvex-keyd: keys the radio for a logger, without a window. It listens for
// the UDP keying protocol that Tlf, CQRLOG and other loggers speak and keys
// the configured port with the same engine and send path as the program.
// Runs in the foreground; Ctrl+C or SIGTERM stop it with the key and PTT up,
// Ctrl+Z stops it with them up too. As a service on a shared computer it
// lets no local process do more than key: ending it is for the option that
// allows it, and another device is keyed only when it is a serial or
// parallel port.
#include <poll.h>
#include <signal.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>

#include "base/program_paths.h"
#include "base/version.h"
#include "core/config/net_address.h"
#include "core/config/port_name.h"
#include "core/frame/attention_boxes.h"
#include "core/net/net_service.h"
#include "core/sending/deadline_timer.h"
#include "core/sending/engine_keyer.h"
#include "core/sending/send_path.h"
#include "core/sending/ticker.h"
#include "engine/lines/device_names.h"
#include "engine/lines/key_line.h"
#include "engine/system/emergency.h"
#include "engine/system/guard.h"
#include "engine/timing/keyer_engine.h"
#include "engine/timing/outputs.h"
#include "tool_loop.h"

namespace {

using namespace orvex;

constexpr const char* kUsage =
    "usage: orvex-keyd [--ini FILE] [--port NAME] [--wpm N] [--tone HZ] [--listen ADDR:PORT]\n"
    "                  [--allow NETWORKS] [--ptt-limit S] [--silence-limit S] [--allow-exit]\n"
    "       orvex-keyd --help | --version\n"
    "  --ini FILE          the environment file (default: orvex.ini in the program directory)\n"
    "  --port NAME         the port to key: None, COM1..COM8, LPT1, LPT2 or a device path\n"
    "                      (default: from the file)\n"
    "  --wpm N             speed at start and after a reset, 4 to 60 (default: from the file)\n"
    "  --tone HZ           sidetone pitch, 0 to 4000 Hz (default: from the file)\n"
    "  --listen ADDR:PORT  where loggers send (default: the file's NetKeyer, else\n"
    "                      127.0.0.1:6789; a port alone listens on this computer only)\n"
    "  --allow NETWORKS    who may key from other computers, such as 192.168.1.0/24,10.0.0.7\n"
    "                      (needed to listen beyond this computer)\n"
    "  --ptt-limit S       a logger's hold of PTT ends after S seconds with nothing keyed,\n"
    "                      1 to 3600 (default: the file's NetPttLimit, else 30)\n"
    "  --silence-limit S   what another Orvex keys, tunes or holds here ends when it falls\n"
    "                      silent for S seconds, 1 to 3600 (default: the file's\n"
    "                      NetSilenceLimit, else 3)\n"
    "  --allow-exit        a logger's request to end orvex-keyd (ESC 5) is honoured\n";

// How often a port that stopped working is tried again.
constexpr int kRetryMs = 2000;

int Usage(const std::string& problem) {
  std::fprintf(stderr, "orvex-keyd: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

volatile std::sig_atomic_t g_ending = 0;

// Ctrl+C and SIGTERM: the lines up for good at once, then the loop ends
// the way it ends on its own, summary and all.
void OnEnd(int) {
  engine::emergency::RaiseForGood();
  g_ending = 1;
}

// What a logger may ask of the daemon beyond keying: to end it, when its
// option allows, and another port.
class Daemon : public NetControl {
 public:
  Daemon(SendPath& send, EnvSettings& settings, bool exitAllowed)
      : send_(send), settings_(settings), exitAllowed_(exitAllowed) {}
  bool Exit() override { return exitAllowed_; }
  bool SetDevice(std::string_view name) override {
    const std::string device = DeviceNamed(std::string(name));
    const engine::PortKind kind = device.rfind("/dev/parport", 0) == 0 ? engine::PortKind::Parallel
                                                                       : engine::PortKind::Serial;
    // Keying is never switched off by request, and nothing is written to a
    // device (nor its settings changed) before it has shown itself a port.
    Result probed = device.empty() ? Result::Refused("keying is not switched off by request")
                                   : engine::ProbePort(device, kind);
    if (!probed.ok()) {
      std::fprintf(stderr, "orvex-keyd: keying device %s: %s\n", std::string(name).c_str(),
                   Cp1252ToUtf8(probed.Description()).c_str());
      return false;
    }
    // The port keying now stays when the new one cannot be opened.
    const Text before = settings_.CWPort;
    int16_t code = 0;
    (void)ParseCWPort(Utf8ToCp1252(name), &code);  // a port name or path, probed above
    settings_.CWPort = Utf8ToCp1252(name);
    if (send_.SwitchPort(code).ok()) {
      portCode_ = code;
      return true;
    }
    settings_.CWPort = before;
    (void)ParseCWPort(before, &code);  // the device path it names, again
    return false;
  }
  int16_t PortCode() const { return portCode_; }
  // The device a port name or path stands for, without taking it as the
  // port in use; empty for None and names that are no port.
  static std::string DeviceNamed(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    int16_t code = 0;
    if (!ParseCWPort(Utf8ToCp1252(name), &code).ok() || code == 0) return {};
    return engine::DeviceForPort(code);
  }
  void SetPortCode(int16_t code) { portCode_ = code; }

 private:
  SendPath& send_;
  EnvSettings& settings_;
  const bool exitAllowed_;
  int16_t portCode_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  // First thing, and before the engine's own: these end the daemon its own
  // way, with status 0, however early they come.
  std::signal(SIGINT, OnEnd);
  std::signal(SIGTERM, OnEnd);
  std::optional<std::string> ini, port, wpm, tone, listen, allow, pttLimit, silenceLimit;
  bool exitAllowed = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("orvex-keyd %s\n", kProgramVersion);
      return 0;
    }
    if (arg == "--allow-exit") {
      exitAllowed = true;
      continue;
    }
    std::optional<std::string>* into = arg == "--ini"             ? &ini
                                       : arg == "--port"          ? &port
                                       : arg == "--wpm"           ? &wpm
                                       : arg == "--tone"          ? &tone
                                       : arg == "--listen"        ? &listen
                                       : arg == "--allow"         ? &allow
                                       : arg == "--ptt-limit"     ? &pttLimit
                                       : arg == "--silence-limit" ? &silenceLimit
                                                                  : nullptr;
    if (!into) return Usage("unknown argument '" + arg + "'");
    if (i + 1 >= argc) return Usage(arg + " needs a value");
    *into = argv[++i];
  }

  StderrMessageSink sink;
  const std::string programDir = FindProgramDir(ProcessPlaces::FromEnvironment(), "orvex.ini");
  EnvironmentFile file(ini ? *ini : EnvironmentFilePath("", programDir));
  EnvRead read = tools::ReadSettings(file, sink, ini.has_value());
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
  if (pttLimit)
    if (Result r = tools::SetFromOption(settings, SettingFor(&EnvSettings::NetPttLimit),
                                        "--ptt-limit", *pttLimit);
        !r.ok())
      return Usage(r.text());
  if (silenceLimit)
    if (Result r = tools::SetFromOption(settings, SettingFor(&EnvSettings::NetSilenceLimit),
                                        "--silence-limit", *silenceLimit);
        !r.ok())
      return Usage(r.text());
  if (port) {
    if (Result parsed = ParseCWPort(Utf8ToCp1252(*port), &portCode); !parsed.ok())
      return Usage(Cp1252ToUtf8(parsed.text()));
    settings.CWPort = Utf8ToCp1252(*port);
  }
  AllowList allowed;
  if (allow)
    if (Result parsed = ParseAllowList(*allow, &allowed); !parsed.ok())
      return Usage("--allow: " + parsed.text());
  // Where the file says loggers key the program, unless told otherwise.
  const std::string where = listen                       ? *listen
                            : !settings.NetKeyer.empty() ? Cp1252ToUtf8(settings.NetKeyer)
                                                         : std::to_string(kNetKeyerPort);

  engine::guard::Start();  // no thread yet: the guard is a fork of this process
  SystemClock clock;
  engine::KeyerEngine engine(engine::SystemOutputs(), engine::KeyLogOrSay("orvex-keyd"));
  EngineKeyer keyer(engine);
  DeadlineTimer timer(clock);
  tools::StderrBeeper beeper("orvex-keyd");
  AttentionBoxes attention(sink);
  Remedies remedies;
  remedies.changePort = "Use orvex-keyd --port to change port.";
  remedies.changeKeyer = "Change the keyer in the environment file orvex-keyd reads (--ini).";
  remedies.portBack =
      "Sending has stopped. orvex-keyd opens the port again as soon as the interface is back "
      "(it tries every 2 seconds), or restart it.";
  remedies.soundAgain = "Keying goes on without it. Restart orvex-keyd to try the sound again.";
  SendPath send({keyer, settings, clock, timer, beeper, attention, programDir, nullptr, remedies});
  Daemon daemon(send, settings, exitAllowed);
  daemon.SetPortCode(portCode);
  std::unique_ptr<NetService> net;
  if (const Result opened = NetService::Open(where, allowed, send, keyer, daemon, attention, &net);
      !opened.ok()) {
    std::fprintf(stderr, "orvex-keyd: %s\n", opened.text().c_str());
    return opened.fault() == Fault::Refused ? 2 : 1;
  }
  send.InitCW();
  if (!send.OpenCWPort(portCode).ok()) return 1;
  // What keys and who may key it, said once at the start.
  Text keying = send.PortStatusText();
  if (keying.ends_with(" open")) keying.resize(keying.size() - 5);
  std::fprintf(stderr, "orvex-keyd: keying %s for loggers on UDP %s%s\n",
               Cp1252ToUtf8(keying == "none" ? settings.CWPort : keying).c_str(),
               net->Address().c_str(), allow ? (", from " + *allow + " only").c_str() : "");

  tools::LoopTimer loop;
  Ticker ticker(send, loop);
  ticker.Start();
  int64_t nextTick = clock.MonotonicMs() + loop.Interval();
  int64_t nextRetry = 0;
  while (!net->Exiting() && !g_ending) {
    // Asleep until the next thing to do: a datagram, the tick, the end of
    // the element before the next character or reply.
    const int64_t now = clock.MonotonicMs();
    int64_t wake = nextTick;
    if (const int64_t next = net->NextWakeMs(); next >= 0) wake = std::min(wake, next);
    pollfd in{net->Fd(), POLLIN, 0};
    poll(&in, 1, static_cast<int>(std::clamp<int64_t>(wake - now, 0, loop.Interval())));
    if (g_ending) break;
    net->Read();
    if (net->Exiting()) break;
    timer.Poll();
    if (clock.MonotonicMs() >= nextTick) {
      loop.Fire();
      nextTick = clock.MonotonicMs() + loop.Interval();
    }
    // A port that stopped working is opened again once it is back.
    if (send.PortFailed() && clock.MonotonicMs() >= nextRetry) {
      nextRetry = clock.MonotonicMs() + kRetryMs;
      if (send.RetryPort(daemon.PortCode()))
        std::fprintf(stderr, "orvex-keyd: %s is back: keying again\n",
                     Cp1252ToUtf8(send.PortStatusText()).c_str());
    }
    net->Service();
  }
  send.CloseCWPort();
  const NetKeyer::Counts& totals = net->Totals();
  if (totals.ignored + totals.refused + totals.unkeyed + net->Dropped() > 0)
    std::fprintf(stderr,
                 "orvex-keyd: %llu requests; %llu malformed, unknown or not allowed ignored, %llu "
                 "refused for a full queue, %llu refused while the port was not keying, %llu from "
                 "computers that may not key dropped\n",
                 static_cast<unsigned long long>(totals.requests),
                 static_cast<unsigned long long>(totals.ignored),
                 static_cast<unsigned long long>(totals.refused),
                 static_cast<unsigned long long>(totals.unkeyed),
                 static_cast<unsigned long long>(net->Dropped()));
  return 0;
}
