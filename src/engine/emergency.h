// Raising every open key line from anywhere, a signal handler included.
// Each open port registers its descriptor here; RaiseAll only reads atomics
// and makes ioctl/write calls, which are async-signal-safe.
#pragma once

namespace orvex::engine::emergency {

enum class Kind { Serial = 1, Parallel = 2, Speaker = 3 };

// upControl: for a parallel port, the control byte with both lines up.
void Register(int fd, Kind kind, unsigned char upControl = 0);
void Unregister(int fd);

// Key and PTT up on every registered line, the PC speaker silent.
void RaiseAll() noexcept;

// Once per process: on every signal whose default action ends the process
// (SIGINT, SIGTERM, SIGHUP, the crash signals, SIGUSR1, SIGALRM, SIGXCPU,
// the real-time signals...) raise all lines, then let the signal take its
// default action; also at normal exit. SIGPIPE is ignored: a closed pipe on
// standard error must not end keying. Signals whose disposition is not the
// default (a program's own handler, nohup's ignored SIGHUP) are left alone.
void InstallHandlers();

// Held around every switch that may key a line, PTT or the PC speaker.
// Once a fatal signal's handler has begun, Allowed() is false; and the
// handler, having raised the lines, waits for a switch already past its
// check to finish and raises them again, so nothing is keyed after it.
class LineChange {
 public:
  LineChange() noexcept;
  ~LineChange();
  LineChange(const LineChange&) = delete;
  LineChange& operator=(const LineChange&) = delete;
  bool Allowed() const noexcept { return allowed_; }

 private:
  bool allowed_;
};

}  // namespace orvex::engine::emergency
