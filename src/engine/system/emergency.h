// Raising every open key line from anywhere, a signal handler included.
// Each open port registers its descriptor here; RaiseAll only reads atomics
// and makes ioctl/write calls, which are async-signal-safe.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace orvex::engine::emergency {

// A WinKeyer is raised by writing to it: its buffer cleared, key and PTT
// up, and, when the process is ending, host mode closed.
// A rigctld connection takes a stop of the radio's keyer and "T 0" (PTT
// off) from a signal handler too; a radio Hamlib opens itself (no
// descriptor) is left to the guard. A far keyer is sent abort and PTT off.
enum class Kind { Serial = 1, Parallel = 2, Speaker = 3, WinKeyer = 4, Rig = 5, FarKeyer = 6 };

// Each registration is also handed to the guard (guard.h), which makes the
// device safe when the process ends in a way no handler sees.
struct Registration {
  int slot = -1;
  int guardId = 0;
};
// upControl: for a parallel port, the control byte with both lines up; for
// the radio, 1 when PTT by CAT is the program's. rig: for Kind::Rig, how
// the guard reaches the radio (guard::RigDetail); fd may then be -1.
Registration Register(int fd, Kind kind, unsigned char upControl = 0, const std::string& rig = {});
// Before the descriptor is closed.
void Unregister(Registration& registration);

// Key and PTT up on every registered line, the PC speaker silent.
void RaiseAll() noexcept;

// Once per process: on every signal whose default action ends the process
// (SIGINT, SIGTERM, SIGHUP, the crash signals, SIGUSR1, SIGALRM, SIGXCPU,
// the real-time signals...) raise all lines, then let the signal take its
// default action; also at normal exit. On the signals that stop it
// (SIGTSTP, SIGTTIN, SIGTTOU: Ctrl+Z, or a background job at the terminal)
// raise all lines and wake the engines before stopping. SIGPIPE is
// ignored: a closed pipe on standard error must not end keying. Signals
// whose disposition is not the default (a program's own handler, nohup's
// ignored SIGHUP) are left alone. SIGSTOP cannot be caught: it stops the
// process with the lines as they are.
void InstallHandlers();

// Raises all lines for good, from a handler of the program's own (one that
// ends the program its own way): nothing is keyed again in this process.
void RaiseForGood() noexcept;

// Stops of the process so far; an engine that sees a new one drops what it
// has queued and raises its lines, then says so with StopHandled. Until
// then no line may be switched on.
uint32_t Stops() noexcept;
void StopHandled(uint32_t stops) noexcept;

// The engines' wake-up words: a stop wakes them, so they drop their queues
// at once rather than at the end of what they were waiting for.
void RegisterWake(std::atomic<uint32_t>* word);
void UnregisterWake(std::atomic<uint32_t>* word);

// Held around every switch that may key a line, PTT or the PC speaker.
// Once a fatal signal's handler has begun, Allowed() is false, and from a
// stop until an engine has handled it; the handler, having raised the
// lines, waits for a switch already past its check to finish and raises
// them again, so nothing is keyed after it.
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
