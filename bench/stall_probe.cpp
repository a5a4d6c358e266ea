// stall_probe SECONDS: how late a real-time thread wakes on this machine.
//
// Sleeps 1 ms at a time on absolute deadlines for SECONDS (or until
// SIGTERM) and prints the worst lateness and how many wakes were more than
// 4 ms late. A sound
// server runs dry when the machine stalls for longer than its buffer; the
// sidetone benchmark runs this beside each run so a dropout can be laid at
// the right door.
#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {
volatile std::sig_atomic_t stop = 0;
void Stop(int) {
  stop = 1;
}
}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60;
  std::signal(SIGTERM, Stop);
  sched_param param{};
  param.sched_priority = 10;  // the timing thread's
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
  timespec next{};
  clock_gettime(CLOCK_MONOTONIC, &next);
  const long long total = static_cast<long long>(seconds * 1000);
  long long worst = 0, over4 = 0;
  for (long long i = 0; i < total && !stop; ++i) {
    next.tv_nsec += 1'000'000;
    if (next.tv_nsec >= 1'000'000'000) {
      next.tv_nsec -= 1'000'000'000;
      ++next.tv_sec;
    }
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long late =
        (now.tv_sec - next.tv_sec) * 1'000'000'000LL + (now.tv_nsec - next.tv_nsec);
    if (late > worst) worst = late;
    if (late > 4'000'000) ++over4;
  }
  std::printf("worst stall %.1f ms, %lld over 4 ms\n", worst / 1e6, over4);
}
