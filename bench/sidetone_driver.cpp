// sidetone_driver: keys text through the keying engine with the sound
// server's sidetone and a key log, and disturbs it as a test asks.
//
//   sidetone_driver LOG WPM TEXT [--stall sound|timing MS] [--stop-in-dah N]
//                   [--unplanned N]
//
// --stall: every 400 ms the sound thread or the timing thread alone is held
// for MS (a signal whose handler sleeps), as a busy machine holds one.
// --stop-in-dah: Esc (Abort) halfway through the text's Nth dah (from 1);
// its CLOCK_MONOTONIC time in microseconds is printed as "stop US".
// --unplanned: after the text, N dahs a hand starts (as a paddle does), a
// random 150-400 ms apart, each printed as "unplanned US" when asked. At the
// end: "stalls N", "ran dry N" (how often the server ran dry), "late N"
// (edges whose sample had already gone when they were planned) and "late
// keys N" (key changes made late by a late wake of the timing thread).
#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "core/sending/morse_table.h"
#include "engine/timing/key_log.h"
#include "engine/timing/outputs.h"

namespace {

volatile int stallMs = 0;

void Hold(int) {
  const timespec ts{0, stallMs * 1'000'000L};
  nanosleep(&ts, nullptr);
}

// The thread of ours with this name, or -1.
pid_t ThreadNamed(const std::string& name) {
  DIR* dir = opendir("/proc/self/task");
  pid_t found = -1;
  while (dirent* entry = dir ? readdir(dir) : nullptr) {
    std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
    std::string got;
    if (std::getline(comm, got) && got == name) found = std::atoi(entry->d_name);
  }
  if (dir) closedir(dir);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fputs(
        "usage: sidetone_driver LOG WPM TEXT [--stall sound|timing MS] [--stop-in-dah N] "
        "[--unplanned N]\n",
        stderr);
    return 2;
  }
  std::string stallWhat;
  size_t stopInDah = 0;
  int unplanned = 0;
  for (int i = 4; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--stall") == 0 && i + 2 < argc) {
      stallWhat = argv[++i];
      stallMs = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--stop-in-dah") == 0) {
      stopInDah = static_cast<size_t>(std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--unplanned") == 0) {
      unplanned = std::atoi(argv[++i]);
    }
  }
  using namespace orvex::engine;
  std::unique_ptr<KeyLog> log;
  if (!KeyLog::Open(argv[1], &log).ok()) return 1;
  KeyerEngine engine(SystemOutputs(), std::move(log));
  if (!engine.Open(0).ok()) return 1;
  engine.SetSidetone(SidetoneDevice::SoundCard);
  engine.SetTone(700);
  if (!engine.SidetoneState().withKey) {
    std::fputs("sidetone_driver: no sound server plays the sidetone\n", stderr);
    return 1;
  }
  const int unitMs = 1200 / std::atoi(argv[2]);
  engine.SetUnitNs(int64_t{unitMs} * 1'000'000);
  std::vector<uint64_t> dahs;  // each dah's element number
  for (const char* c = argv[3]; *c; ++c) {
    if (*c == ' ') {
      engine.Element(false, 4);  // with the character's 3: a word space
      continue;
    }
    for (char symbol : orvex::MorseCode(static_cast<unsigned char>(*c))) {
      if (symbol == '-') dahs.push_back(engine.Queued());
      engine.Element(true, symbol == '-' ? 3 : 1);
      engine.Element(false, 1);
    }
    engine.Element(false, 2);
  }
  const pid_t victim =
      stallWhat.empty() ? -1 : ThreadNamed(stallWhat == "sound" ? "orvex-sidetone" : "orvex-keyer");
  if (!stallWhat.empty() && victim < 0) return 1;
  std::signal(SIGUSR2, Hold);
  int64_t nextStall = orvex::MonotonicNs() + 200'000'000;
  int64_t stopAt = 0;
  int stalls = 0;
  while (engine.Pending() > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const int64_t now = orvex::MonotonicNs();
    if (victim > 0 && now >= nextStall) {
      syscall(SYS_tgkill, getpid(), victim, SIGUSR2);
      ++stalls;
      nextStall = now + 400'000'000;
    }
    // The dah has begun: Esc a unit and a half into it.
    if (stopInDah > 0 && stopInDah <= dahs.size() && stopAt == 0 &&
        engine.Ended() == dahs[stopInDah - 1])
      stopAt = now + unitMs * 1'500'000LL;
    if (stopAt > 0 && now >= stopAt) {
      engine.Abort();
      std::printf("stop %lld\n", static_cast<long long>(now / 1000));
      stopInDah = 0;
      stopAt = -1;
    }
  }
  std::mt19937 random(static_cast<unsigned>(orvex::MonotonicNs()));
  for (int i = 0; i < unplanned; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150 + random() % 250));
    std::printf("unplanned %lld\n", static_cast<long long>(orvex::MonotonicNs() / 1000));
    engine.HandElement(true, int64_t{unitMs} * 3'000'000);
    while (engine.Pending() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  engine.Idle();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const SidetoneStatus status = engine.SidetoneState();
  std::printf("stalls %d\nran dry %llu\nlate %llu\nlate keys %llu\n", stalls,
              static_cast<unsigned long long>(status.underruns),
              static_cast<unsigned long long>(status.lateEdges),
              static_cast<unsigned long long>(status.lateKeys));
  engine.Close();
}
