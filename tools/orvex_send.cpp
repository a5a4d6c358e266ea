// orvex-send: Orvex's command-line sender. It drives the same core and
// keying engine as the program, so every behaviour of the settings and the
// keying can be exercised without a display.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "app/number_check.h"
#include "app/program_paths.h"
#include "app/stderr_message_sink.h"
#include "config/env_file.h"
#include "config/port_name.h"
#include "keyer/cw_func.h"
#include "keyer/wav_writer.h"
#include "keying/cw_keying.h"
#include "keying/engine_keyer.h"

namespace {

using namespace orvex;

constexpr const char* kUsage =
    "usage: orvex-send [--ini FILE] --print-ini\n"
    "       orvex-send [--ini FILE] [--wpm N] [--tone HZ] (--wav OUT | --port NAME) --text TEXT\n"
    "  --ini FILE    the environment file (default: orvex.ini in the program directory)\n"
    "  --print-ini   print the environment file as Orvex would rewrite it\n"
    "  --wpm N       speed in words per minute, 1 to 99 (default: from the file)\n"
    "  --tone HZ     sidetone pitch, 0 to 9999 Hz (default: from the file)\n"
    "  --wav OUT     render the text to OUT (mono, 16-bit, 22050 Hz), faster than real time\n"
    "  --port NAME   key port NAME (None, COM1..COM8, LPT1, LPT2) live; Ctrl+C stops\n"
    "  --text TEXT   the text to send (UTF-8)\n";

struct Options {
  std::optional<std::string> ini, wav, port, text, wpm, tone;
  bool printIni = false;
};

int Usage(const std::string& problem) {
  std::fprintf(stderr, "orvex-send: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

std::string ProgramDir() {
  auto env = [](const char* name) -> std::optional<std::string> {
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
  };
  char cwd[4096];
  return FindProgramDir(env("PELORIN"), env("PELO"), getcwd(cwd, sizeof cwd) ? cwd : "");
}

// The elements of text, character by character, from the element table.
std::vector<keyer::KeyElement> ElementsOf(const Text& text, const ElementTable& table) {
  std::vector<keyer::KeyElement> out;
  for (char c : text) {
    const Text& pairs = table[static_cast<unsigned char>(c)];
    for (size_t i = 0; i + 1 < pairs.size(); i += 2)
      out.push_back({pairs[i] == static_cast<char>(kKeyDown), static_cast<unsigned char>(pairs[i + 1])});
  }
  return out;
}

// Keys text live on the keyer and waits until it has gone out.
int SendLive(CwKeying& keying, Keyer& keyer, const KeyingState& state, const Text& text,
             int16_t portCode) {
  if (!keying.OpenCWPort(portCode)) return 1;
  for (const keyer::KeyElement& e : ElementsOf(text, state.Elements))
    keyer.Element(e.down ? kKeyDown : kKeyUp, static_cast<int16_t>(e.units));
  while (keyer.Pending() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  keyer.Idle();
  keying.CloseCWPort();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::optional<std::string>& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    bool ok = true;
    if (arg == "--ini") ok = value(o.ini);
    else if (arg == "--wav") ok = value(o.wav);
    else if (arg == "--port") ok = value(o.port);
    else if (arg == "--text") ok = value(o.text);
    else if (arg == "--wpm") ok = value(o.wpm);
    else if (arg == "--tone") ok = value(o.tone);
    else if (arg == "--print-ini") o.printIni = true;
    else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      return Usage("unknown argument '" + arg + "'");
    }
    if (!ok) return Usage(arg + " needs a value");
  }
  const int modes = int{o.printIni} + int{o.wav.has_value()} + int{o.port.has_value()};
  if (modes != 1) return Usage(modes == 0 ? "nothing to do" : "choose one of --print-ini, --wav, --port");
  if (!o.printIni && !o.text) return Usage("--text is needed");

  const std::string path = o.ini ? *o.ini : EnvironmentFilePath("", ProgramDir());
  StderrMessageSink sink;
  MessageMenuCaptions captions;
  EnvironmentFile file(path, sink, captions);
  EnvSettings settings;
  int16_t portCode = 0;
  file.ReadEnvironmentFile(settings, portCode);

  if (o.printIni) {
    const std::string out = file.EncodedContents(settings);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }

  int16_t number = 0;
  if (o.wpm) {
    if (!IsNumberInRange(*o.wpm, 1, 99, &number)) return Usage("--wpm must be 1 to 99");
    settings.CWSpeed = number;
  }
  if (o.tone) {
    if (!IsNumberInRange(*o.tone, 0, 9999, &number)) return Usage("--tone must be 0 to 9999");
    settings.CWTone = number;
  }
  if (o.port) {
    const PortParse port = ParseCWPort(Utf8ToCp1252(*o.port));
    if (!port.error.empty()) return Usage(Cp1252ToUtf8(port.error));
    settings.CWPort = Utf8ToCp1252(*o.port);
    portCode = port.code;
  }

  EngineKeyer keyer(keyer::ProcessEngine());
  KeyingState state;
  CwKeying keying(state, settings, keyer, sink);
  keying.InitCW();
  const Text text = Utf8ToCp1252(*o.text);

  if (o.wav) {
    keying.SetCWSpeed(state.CurrentSpeed);
    const auto samples = keyer::RenderElements(ElementsOf(text, state.Elements), state.UnitMs,
                                               settings.CWTone);
    std::string error;
    if (!keyer::WriteWav(*o.wav, samples, 22050, &error)) {
      std::fprintf(stderr, "orvex-send: can't write %s: %s\n", o.wav->c_str(), error.c_str());
      return 1;
    }
    return 0;
  }
  return SendLive(keying, keyer, state, text, portCode);
}
