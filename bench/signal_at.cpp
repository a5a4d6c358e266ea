// signal_at PID MS: after MS milliseconds sends SIGINT to PID and prints
// the CLOCK_MONOTONIC time it did, in microseconds: the sidetone
// benchmark's Ctrl+C for a program with no Esc of its own.
#include <signal.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: signal_at PID MS\n", stderr);
    return 2;
  }
  const long ms = std::atol(argv[2]);
  const timespec wait{ms / 1000, (ms % 1000) * 1'000'000};
  nanosleep(&wait, nullptr);
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  kill(std::atoi(argv[1]), SIGINT);
  std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000);
}
