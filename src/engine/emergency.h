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

// Once per process: on SIGINT, SIGTERM, SIGHUP and the crash signals
// (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT) raise all lines, then let the
// signal take its default action; also at normal exit. Signals whose
// disposition is not the default (a program's own handler, nohup's ignored
// SIGHUP) are left alone.
void InstallHandlers();

}  // namespace orvex::engine::emergency
