// Real-time priority for the timing thread, without root where the desktop
// allows it: SCHED_FIFO when the system grants it, else through RealtimeKit
// (org.freedesktop.RealtimeKit1 on the system bus, which every desktop with
// PipeWire or PulseAudio runs), within its limits.
#pragma once

#include <string>

namespace orvex::engine {

struct ThreadPriority {
  bool realtime = false;
  std::string how;  // "SCHED_FIFO 10", "SCHED_FIFO 10 through RealtimeKit", "normal (...)"
};

// Raises the calling thread; tells what it got.
ThreadPriority MakeThisThreadRealtime();

}  // namespace orvex::engine
