#include "engine/system/realtime.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orvex::engine {
namespace {

constexpr int kPriority = 10;

// RealtimeKit grants only threads that promise not to hog the CPU: the
// process must set RLIMIT_RTTIME within the service's maximum.
std::string AskRealtimeKit(int priority) {
  sd_bus* bus = nullptr;
  if (int r = sd_bus_open_system(&bus); r < 0)
    return std::string("no system bus: ") + std::strerror(-r);
  const char* service = "org.freedesktop.RealtimeKit1";
  const char* path = "/org/freedesktop/RealtimeKit1";
  sd_bus_error error{nullptr, nullptr, 0};  // SD_BUS_ERROR_NULL, without a C compound literal
  int64_t maxUs = 0;
  int32_t maxPriority = 0;
  std::string problem;
  if (sd_bus_get_property_trivial(bus, service, path, service, "RTTimeUSecMax", &error, 'x',
                                  &maxUs) < 0 ||
      sd_bus_get_property_trivial(bus, service, path, service, "MaxRealtimePriority", &error, 'i',
                                  &maxPriority) < 0) {
    problem = error.message ? error.message : "RealtimeKit does not answer";
  } else {
    rlimit limit{};
    getrlimit(RLIMIT_RTTIME, &limit);
    if (limit.rlim_max == RLIM_INFINITY || limit.rlim_max > static_cast<rlim_t>(maxUs))
      limit.rlim_max = static_cast<rlim_t>(maxUs);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_RTTIME, &limit);
    const uint64_t tid = static_cast<uint64_t>(::syscall(SYS_gettid));
    const uint32_t prio = static_cast<uint32_t>(priority < maxPriority ? priority : maxPriority);
    sd_bus_message* reply = nullptr;
    if (sd_bus_call_method(bus, service, path, service, "MakeThreadRealtime", &error, &reply, "tu",
                           tid, prio) < 0)
      problem = error.message ? error.message : "RealtimeKit refused";
    sd_bus_message_unref(reply);
  }
  sd_bus_error_free(&error);
  sd_bus_unref(bus);
  return problem;
}

}  // namespace

ThreadPriority MakeThisThreadRealtime() {
  prctl(PR_SET_TIMERSLACK, 1UL);
  sched_param param{};
  param.sched_priority = kPriority;
  const int err = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
  if (err == 0) return {true, "SCHED_FIFO " + std::to_string(kPriority)};
  const std::string kit = AskRealtimeKit(kPriority);
  int policy = 0;
  if (kit.empty() && pthread_getschedparam(pthread_self(), &policy, &param) == 0 &&
      (policy == SCHED_FIFO || policy == SCHED_RR))
    return {true, "SCHED_FIFO " + std::to_string(param.sched_priority) + " through RealtimeKit"};
  return {false, std::string("normal priority (real-time refused: ") + std::strerror(err) +
                     "; RealtimeKit: " + (kit.empty() ? "no real-time policy" : kit) + ")"};
}

}  // namespace orvex::engine
