// orvex-send: Orvex's command-line sender. It drives the same core and
// keying engine as the program (the send queue, macros, file sending, the
// engine and its synthesiser), so every behaviour of the send path can be
// exercised without a display.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "base/numbers.h"
#include "base/program_paths.h"
#include "base/version.h"
#include "core/config/port_name.h"
#include "core/frame/attention_boxes.h"
#include "core/sending/deadline_timer.h"
#include "core/sending/engine_keyer.h"
#include "core/sending/send_path.h"
#include "core/sending/sim_keyer.h"
#include "core/sending/ticker.h"
#include "engine/sound/wav_writer.h"
#include "engine/system/guard.h"
#include "engine/timing/keyer_engine.h"
#include "engine/timing/outputs.h"
#include "tool_loop.h"

namespace {

using namespace orvex;
using tools::LoopTimer;

constexpr const char* kUsage =
    "usage: orvex-send [--ini FILE] --print-ini\n"
    "       orvex-send [--ini FILE] [--wpm N] [--farnsworth N] [--tone HZ] [--him CALL] [--nr N]\n"
    "                  [--now YYYY-MM-DDTHH:MM:SS]\n"
    "                  (--msg N | --file PATH | --text TEXT | --tune SECONDS)\n"
    "                  (--dry-run | --trace | --wav OUT | --port NAME) [--max-seconds S]\n"
    "                  [--show-sidetone]\n"
    "       orvex-send [--ini FILE] [--wpm N] --port NAME --paddle SECONDS\n"
    "                  [--msg N | --file PATH | --text TEXT] [--show-sidetone]\n"
    "       orvex-send --help | --version\n"
    "  --ini FILE       the environment file (default: orvex.ini in the program directory)\n"
    "  --print-ini      print the environment file as Orvex would rewrite it\n"
    "  --wpm N          speed, 1 to 99 words per minute (default: from the file)\n"
    "  --farnsworth N   overall speed: characters at --wpm, the gaps stretched (0: off)\n"
    "  --nr N           the contest serial number #NR sends (default: from the file)\n"
    "  --tone HZ        sidetone pitch, 0 to 9999 Hz (default: from the file)\n"
    "  --him CALL       the other station's call for #HIM\n"
    "  --now TIME       the local clock for #TIME and #DATE (time zone from TZ)\n"
    "  --msg N          stored message N (1 to 8), as its function key sends it\n"
    "  --file PATH      a text file, as Send File as CW sends it\n"
    "  --text TEXT      typed-ahead text, one character at a time, no macros\n"
    "  --tune SECONDS   key down with PTT for 1 to 10 seconds, to adjust a tuner or amplifier\n"
    "  --paddle SECONDS key from the paddle (the file's Paddle settings; IambicB when it says\n"
    "                   None) for that long, printing each character it sends; with a text,\n"
    "                   the paddle breaks in on it\n"
    "  --dry-run        print each text queued, without keying\n"
    "  --trace          print each keyer call on a simulated clock\n"
    "  --wav OUT        render to OUT (mono, 16-bit, 22050 Hz), faster than real time\n"
    "  --port NAME      key port NAME (None, COM1..COM8, LPT1, LPT2) live; Ctrl+C stops\n"
    "                   (CWKeyer Rig or Remote in the file keys there: give --port None)\n"
    "  --max-seconds S  stop after S seconds of sending (default 600)\n"
    "  --show-sidetone  with --port: say what plays the sidetone and how it follows the key,\n"
    "                   and at the end how often its sound ran dry\n";

struct Options {
  std::optional<std::string> ini, wav, port, text, wpm, farnsworth, nr, tone, him, now, msg, file,
      maxSeconds, tune, paddle;
  bool printIni = false, dryRun = false, trace = false, showSidetone = false;
};

int Usage(const std::string& problem) {
  std::fprintf(stderr, "orvex-send: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

std::string ProgramDir() {
  return FindProgramDir(ProcessPlaces::FromEnvironment(), "orvex.ini");
}

std::optional<CalendarTime> ParseNow(const std::string& s) {
  CalendarTime t;
  char tail = 0;
  if (std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &t.year, &t.month, &t.day, &t.hour,
                  &t.minute, &t.second, &tail) != 6)
    return std::nullopt;
  // Exactly YYYY-MM-DDTHH:MM:SS, a day the month has.
  if (s.size() != 19 || s.find_first_not_of("0123456789-T:") != std::string::npos)
    return std::nullopt;
  const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
  const int days[] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 1 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > days[t.month - 1] ||
      t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 60)
    return std::nullopt;
  return t;
}

// Bytes 32 to 126 as themselves (a backslash doubled), every other as \xNN.
std::string Escaped(const Text& text) {
  std::string out;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\\') {
      out += "\\\\";
    } else if (c >= 32 && c <= 126) {
      out += ch;
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out;
}

// The typed-ahead line, filled from --text.
class TextLine : public TypeAheadLine {
 public:
  explicit TextLine(Text text) : text_(std::move(text)) {}
  bool Empty() const override { return text_.empty(); }
  char TakeFirst() override {
    const char c = text_.front();
    text_.erase(0, 1);
    return c;
  }
  void Clear() override { text_.clear(); }
  // The paddle broke in: the rest of the text is not sent (and is told).
  void Hold(const Text& untaken) override {
    held_ = true;
    text_ = untaken + text_;
  }
  bool Held() const override { return held_; }

 private:
  Text text_;
  bool held_ = false;
};

// --dry-run prints what is queued, --trace every pause.
class PrintingObserver : public SendObserver {
 public:
  PrintingObserver(bool queued, bool paused) : queued_(queued), paused_(paused) {}
  void Queued(const Text& text, int) override {
    if (queued_) std::printf("%s\n", Escaped(text).c_str());
  }
  void Paused(int ms) override {
    if (paused_) std::printf("PAUSE %d\n", ms);
  }
  void Hand(const Text& chars) override {
    std::fputs(Cp1252ToUtf8(chars).c_str(), stdout);
    std::fflush(stdout);
  }

 private:
  bool queued_, paused_;
};

// Real monotonic time; the calendar starts at --now when given.
class LiveClock : public Clock {
 public:
  explicit LiveClock(std::optional<CalendarTime> now) {
    if (now) fixed_.emplace(*now);
    start_ = system_.MonotonicMs();
  }
  int64_t MonotonicMs() override { return system_.MonotonicMs(); }
  CalendarTime Local() override { return fixed_ ? Synced().Local() : system_.Local(); }
  CalendarTime Utc() override { return fixed_ ? Synced().Utc() : system_.Utc(); }

 private:
  ManualClock& Synced() {
    fixed_->Advance(system_.MonotonicMs() - start_ - fixed_->MonotonicMs());
    return *fixed_;
  }
  SystemClock system_;
  std::optional<ManualClock> fixed_;
  int64_t start_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::optional<std::string>* into = nullptr;
    if (arg == "--ini")
      into = &o.ini;
    else if (arg == "--wav")
      into = &o.wav;
    else if (arg == "--port")
      into = &o.port;
    else if (arg == "--text")
      into = &o.text;
    else if (arg == "--wpm")
      into = &o.wpm;
    else if (arg == "--farnsworth")
      into = &o.farnsworth;
    else if (arg == "--nr")
      into = &o.nr;
    else if (arg == "--tone")
      into = &o.tone;
    else if (arg == "--him")
      into = &o.him;
    else if (arg == "--now")
      into = &o.now;
    else if (arg == "--msg")
      into = &o.msg;
    else if (arg == "--tune")
      into = &o.tune;
    else if (arg == "--file")
      into = &o.file;
    else if (arg == "--paddle")
      into = &o.paddle;
    else if (arg == "--max-seconds")
      into = &o.maxSeconds;
    else if (arg == "--print-ini")
      o.printIni = true;
    else if (arg == "--dry-run")
      o.dryRun = true;
    else if (arg == "--trace")
      o.trace = true;
    else if (arg == "--show-sidetone")
      o.showSidetone = true;
    else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("orvex-send %s\n", kProgramVersion);
      return 0;
    } else {
      return Usage("unknown argument '" + arg + "'");
    }
    if (into) {
      if (i + 1 >= argc) return Usage(arg + " needs a value");
      if (into->has_value()) return Usage(arg + " given twice");
      *into = argv[++i];
      if (into->value().empty()) return Usage(arg + " needs a value");
    }
  }
  const int outputs = int{o.printIni} + int{o.dryRun} + int{o.trace} + int{o.wav.has_value()} +
                      int{o.port.has_value()};
  if (outputs != 1)
    return Usage(outputs == 0 ? "nothing to do"
                              : "choose one of --print-ini, --dry-run, --trace, --wav, --port");
  const int sources = int{o.msg.has_value()} + int{o.file.has_value()} + int{o.text.has_value()} +
                      int{o.tune.has_value()};
  if (o.paddle && !o.port) return Usage("--paddle keys a live port: give --port");
  if (o.paddle && o.tune) return Usage("--paddle keys no --tune");
  if (!o.printIni && !o.paddle && sources != 1)
    return Usage("choose one of --msg, --file, --text, --tune");
  if (o.paddle && sources > 1) return Usage("with --paddle, at most one of --msg, --file, --text");

  const std::string path = o.ini ? *o.ini : EnvironmentFilePath("", ProgramDir());
  StderrMessageSink sink;
  EnvironmentFile file(path);
  EnvRead read = tools::ReadSettings(file, sink, o.ini.has_value());
  EnvSettings& settings = read.settings;
  int16_t portCode = read.portCode;

  if (o.printIni) {
    // A file that is there but could not be read is not answered with the
    // defaults that would replace it: that is not what it holds.
    if (read.unread) return 1;
    const std::string out = file.EncodedContents(settings);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }

  if (o.wpm)
    if (Result r =
            tools::SetFromOption(settings, SettingFor(&EnvSettings::CWSpeed), "--wpm", *o.wpm);
        !r.ok())
      return Usage(r.text());
  if (o.farnsworth)
    if (Result r = tools::SetFromOption(settings, SettingFor(&EnvSettings::CWFarnsworth),
                                        "--farnsworth", *o.farnsworth);
        !r.ok())
      return Usage(r.text());
  if (o.nr)
    if (Result r = SettingFor(&EnvSettings::ContestNr).Enter(settings, *o.nr); !r.ok())
      return Usage("--nr: " + r.text());
  if (o.tone)
    if (Result r =
            tools::SetFromOption(settings, SettingFor(&EnvSettings::CWTone), "--tone", *o.tone);
        !r.ok())
      return Usage(r.text());
  int16_t message = 0;
  if (o.msg)
    if (Result r = tools::WholeNumber("--msg", *o.msg, {1, 8}, &message); !r.ok())
      return Usage(r.text());
  int16_t tuneSeconds = 0;
  if (o.tune)
    if (Result r =
            tools::WholeNumber("--tune", *o.tune, {1, kMaxTuneSeconds}, &tuneSeconds, " seconds");
        !r.ok())
      return Usage(r.text());
  int16_t paddleSeconds = 0;
  if (o.paddle)
    if (Result r = tools::WholeNumber("--paddle", *o.paddle, {1, 3600}, &paddleSeconds, " seconds");
        !r.ok())
      return Usage(r.text());
  if (o.paddle && UpperCase(settings.Paddle) == "NONE") settings.Paddle = "IambicB";
  double maxSeconds = 600;
  if (o.maxSeconds) {
    const auto v = ParseNumber(*o.maxSeconds);
    if (!v || !(*v > 0 && *v <= 86400))
      return Usage("--max-seconds must be a number above 0, at most 86400 (a day)");
    maxSeconds = *v;
  }
  std::optional<CalendarTime> now;
  if (o.now) {
    now = ParseNow(*o.now);
    if (!now) return Usage("--now must be YYYY-MM-DDTHH:MM:SS");
  }
  if (o.port) {
    if (Result parsed = ParseCWPort(Utf8ToCp1252(*o.port), &portCode); !parsed.ok())
      return Usage(Cp1252ToUtf8(parsed.text()));
    settings.CWPort = Utf8ToCp1252(*o.port);
  }

  const bool live = o.port.has_value();
  SystemClock system;
  ManualClock simClock(now ? *now : system.Local());
  LiveClock liveClock(now);
  Clock& clock = live ? static_cast<Clock&>(liveClock) : simClock;
  std::function<void(const std::string&)> trace;
  if (o.trace) trace = [](const std::string& call) { std::printf("%s\n", call.c_str()); };
  SimKeyer simKeyer(simClock, trace);
  std::optional<engine::KeyerEngine> liveEngine;
  std::optional<EngineKeyer> engineKeyer;
  if (live) {
    engine::guard::Start();  // no thread yet: the guard is a fork of this process
    liveEngine.emplace(engine::SystemOutputs(), engine::KeyLogOrSay("orvex-send"));
    engineKeyer.emplace(*liveEngine);
  }
  Keyer& keyer = live ? static_cast<Keyer&>(*engineKeyer) : simKeyer;

  DeadlineTimer timer(clock);
  tools::StderrBeeper beeper("orvex-send");
  PrintingObserver observer(o.dryRun, o.trace);
  AttentionBoxes attention(sink);
  SendPath send({keyer, settings, clock, timer, beeper, attention, ProgramDir(), &observer});
  if (o.him) send.SetHisCall(Utf8ToCp1252(*o.him));
  TextLine typed(o.text ? Utf8ToCp1252(*o.text) : Text());
  send.SetTypeAhead(&typed);

  send.InitCW();
  if (!send.OpenCWPort(portCode).ok() && live) return 1;
  send.SetKeyboardCW(true);
  if (live && o.showSidetone)
    std::printf("sidetone: %s\n", Cp1252ToUtf8(send.SidetoneText()).c_str());

  if (message) send.SendMessage(message);
  if (tuneSeconds) send.Tune(tuneSeconds);
  if (o.file) (void)send.SendFile(nullptr, Utf8ToCp1252(*o.file));  // a failure has been told

  // The program's 100 ms tick, on the simulated or the real clock.
  LoopTimer loop;
  Ticker ticker(send, loop);
  ticker.Start();
  const int64_t start = clock.MonotonicMs();
  // The paddle keys for as long as asked; text alone ends when it is sent.
  const int64_t limit =
      paddleSeconds ? int64_t{paddleSeconds} * 1000 : static_cast<int64_t>(maxSeconds * 1000);
  bool toldPriority = false;
  while (clock.MonotonicMs() - start <= limit) {
    timer.Poll();
    loop.Fire();
    if (liveEngine && !toldPriority)
      if (const auto priority = liveEngine->Priority()) {
        toldPriority = true;  // said once, and only when keying may stutter under load
        if (!priority->realtime)
          std::fprintf(stderr, "orvex-send: the timing thread runs at %s\n", priority->how.c_str());
      }
    // Done, or nothing can be keyed any more (the failure has been told).
    if ((send.Idle() && !paddleSeconds) || send.PortFailed()) break;
    if (live)
      std::this_thread::sleep_for(std::chrono::milliseconds(loop.Interval()));
    else
      simClock.Advance(loop.Interval());
  }
  // The time limit cut it short: said, unless a repeating message ends
  // there as it should.
  bool cut = false;
  if (!send.Idle()) {
    // The hand still keying when its time is up is no text left unsent.
    cut = send.Queue().Repeats() == 0 && !send.PortFailed() &&
          (!paddleSeconds || send.Queue().PendingText() > 0);
    send.Stop();
  }
  if (paddleSeconds) std::printf("\n");
  if (live && o.showSidetone) {
    const engine::SidetoneStatus status = keyer.SidetoneState();
    std::printf("sidetone: %llu times ran dry, %llu edges late, %llu key changes late\n",
                static_cast<unsigned long long>(status.underruns),
                static_cast<unsigned long long>(status.lateEdges),
                static_cast<unsigned long long>(status.lateKeys));
  }
  send.CloseCWPort();

  if (o.wav) {
    const Result written = engine::WriteWav(*o.wav, simKeyer.Timeline(), 0.001, settings.CWTone);
    if (!written.ok()) {
      std::fprintf(stderr, "orvex-send: can't write %s: %s\n", o.wav->c_str(),
                   Cp1252ToUtf8(written.Description()).c_str());
      return 1;
    }
  }
  std::fflush(stdout);
  // Never a success with text unsent.
  if (!send.Unfinished().empty() || cut)
    std::fprintf(stderr, "orvex-send: sending stopped: %s; what was left was not sent\n",
                 cut ? "--max-seconds passed" : Cp1252ToUtf8(send.Unfinished()).c_str());
  return sink.Warnings() > 0 || beeper.Beeps() > 0 || cut || !send.Unfinished().empty() ? 1 : 0;
}
