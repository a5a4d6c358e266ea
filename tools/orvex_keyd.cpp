// orvex-keyd: keys the radio for a logger, without a window. It listens for
// the UDP keying protocol that Tlf, CQRLOG and other loggers speak and keys
// the configured port with the same engine and send path as the program.
// Runs in the foreground; Ctrl+C or SIGTERM stop it with the key and PTT up.
#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "base/numbers.h"
#include "base/program_paths.h"
#include "base/stderr_message_sink.h"
#include "core/config/env_file.h"
#include "core/config/port_name.h"
#include "core/net/net_keyer.h"
#include "core/net/udp_listener.h"
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
    "  --listen ADDR:PORT  where loggers send (default 127.0.0.1:6789; a port alone\n"
    "                      listens on this computer only)\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "orvex-keyd: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

// A port name as the program knows it, or a device path.
std::optional<int16_t> PortCode(const std::string& name, std::string* error) {
  const PortParse port = ParseCWPort(Utf8ToCp1252(name));
  if (!port.error.empty()) {
    *error = Cp1252ToUtf8(port.error);
    return std::nullopt;
  }
  return port.code;
}

class Daemon : public NetControl {
 public:
  Daemon(SendPath& send, EnvSettings& settings) : send_(send), settings_(settings) {}
  void Stop() override { send_.Stop(); }
  void Tune(int seconds) override { send_.Tune(seconds); }
  bool Exit() override {
    exit_ = true;
    return true;
  }
  bool SetDevice(std::string_view name) override {
    std::string error;
    const auto code = PortCode(std::string(name), &error);
    if (!code) {
      std::fprintf(stderr, "orvex-keyd: keying device: %s\n", error.c_str());
      return false;
    }
    settings_.CWPort = Utf8ToCp1252(name);
    send_.OpenCWPort(*code);  // a failure says so in its own words
    return true;
  }
  bool Exiting() const { return exit_; }

 private:
  SendPath& send_;
  EnvSettings& settings_;
  bool exit_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  std::optional<std::string> ini, port, wpm, tone;
  std::string listen = "127.0.0.1:" + std::to_string(kNetKeyerPort);
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    std::optional<std::string>* into = arg == "--ini"    ? &ini
                                       : arg == "--port" ? &port
                                       : arg == "--wpm"  ? &wpm
                                       : arg == "--tone" ? &tone
                                                         : nullptr;
    if (!into && arg != "--listen") return Usage("unknown argument '" + arg + "'");
    if (i + 1 >= argc) return Usage(arg + " needs a value");
    if (into)
      *into = argv[++i];
    else
      listen = argv[++i];
  }

  StderrMessageSink sink;
  MessageMenuCaptions captions;
  const std::string programDir = FindProgramDir(ProcessPlaces::FromEnvironment(), "orvex.ini");
  EnvironmentFile file(ini ? *ini : EnvironmentFilePath("", programDir), sink, captions);
  EnvSettings settings;
  int16_t portCode = 0;
  file.ReadEnvironmentFile(settings, portCode);
  int16_t number = 0;
  if (wpm) {
    if (!tools::WholeNumber(*wpm, 4, 60, &number)) return Usage("--wpm must be 4 to 60");
    settings.CWSpeed = number;
  }
  if (tone) {
    if (!tools::WholeNumber(*tone, 0, 4000, &number)) return Usage("--tone must be 0 to 4000");
    settings.CWTone = number;
  }
  if (port) {
    std::string error;
    const auto code = PortCode(*port, &error);
    if (!code) return Usage(error);
    settings.CWPort = Utf8ToCp1252(*port);
    portCode = *code;
  }
  std::string error;
  const auto socket = UdpListener::Open(listen, &error);
  if (!socket) {
    std::fprintf(stderr, "orvex-keyd: %s\n", error.c_str());
    return 1;
  }

  SystemClock clock;
  engine::KeyerEngine engine(engine::SystemOutputs(), engine::KeyLog::FromEnvironment());
  EngineKeyer keyer(engine);
  DeadlineTimer timer(clock);
  tools::StderrBeeper beeper("orvex-keyd");
  SendPath send({keyer, settings, clock, timer, beeper, sink, programDir, nullptr});
  Daemon daemon(send, settings);
  NetKeyer net({keyer, send.Port(), settings, *socket, daemon});
  send.Queue().SetKeyedSource(&net);
  send.Port().InitCW();
  if (!send.OpenCWPort(portCode)) return 1;
  std::fprintf(stderr, "orvex-keyd: keying %s for loggers on UDP %s\n",
               Cp1252ToUtf8(settings.CWPort).c_str(), socket->Address().c_str());

  tools::LoopTimer loop;
  Ticker ticker(send, loop);
  ticker.Start();
  int64_t nextTick = clock.MonotonicMs() + loop.Interval();
  std::string datagram;
  NetPeer from;
  while (!daemon.Exiting()) {
    // While text or a reply waits, wake every millisecond: a character
    // goes out as the one before it ends, a reply as its text ends.
    const int64_t now = clock.MonotonicMs();
    const int wait = net.Busy() ? 1 : static_cast<int>(std::clamp<int64_t>(nextTick - now, 0, 100));
    pollfd in{socket->Fd(), POLLIN, 0};
    poll(&in, 1, wait);
    while (!daemon.Exiting() && socket->Receive(&datagram, &from)) {
      net.Handle(datagram, from);
      send.Queue().PumpCW();
    }
    timer.Poll();
    if (clock.MonotonicMs() >= nextTick) {
      loop.Fire();
      nextTick = clock.MonotonicMs() + loop.Interval();
    }
    if (net.Waiting() > 0) send.Queue().PumpCW();
    net.Poll();
  }
  send.CloseCWPort();
  const NetKeyer::Counts& totals = net.Totals();
  if (totals.ignored + totals.refused + socket->Dropped() > 0)
    std::fprintf(stderr,
                 "orvex-keyd: %llu requests; %llu malformed or unknown ignored, %llu refused for "
                 "a full queue, %llu from other computers dropped\n",
                 static_cast<unsigned long long>(totals.requests),
                 static_cast<unsigned long long>(totals.ignored),
                 static_cast<unsigned long long>(totals.refused),
                 static_cast<unsigned long long>(socket->Dropped()));
  return 0;
}
