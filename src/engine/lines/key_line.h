// A key line: the port line that keys the transmitter, plus its PTT line.
// One implementation per kind of port (serial, parallel, none). Only the
// engine's timing thread and its abort/close paths call these, always under
// the engine's lock.
#pragma once

#include <cstdint>
#include <string>

#include "base/result.h"

namespace orvex::engine {

class KeyLine {
 public:
  virtual ~KeyLine() = default;
  // A failure with the system's error number when the line could not be
  // switched (a USB adapter pulled out answers EIO or ENXIO).
  virtual Result SetKey(bool down) = 0;
  virtual Result SetPtt(bool on) = 0;
  // Key and PTT up. Never fails loudly: it is the path of last resort.
  virtual void AllUp() noexcept = 0;
  // A copy of a serial port's descriptor, for reading its status lines (a
  // paddle's contacts); -1 where there is none.
  virtual int DupStatusFd() const { return -1; }
};

// Which modem line of a serial port keys, and which is PTT. Radios differ:
// many USB ports key CW on RTS; some interfaces have no PTT line at all.
// Rig: PTT through the radio's CAT connection, no line of the port.
enum class SerialLine : uint8_t { Dtr, Rts, None, Rig };
struct LineChoice {
  SerialLine key = SerialLine::Dtr;
  SerialLine ptt = SerialLine::Rts;
  bool operator==(const LineChoice&) const = default;
};

// PTT kept by something other than the port's lines (the radio, over its
// CAT connection). Told each change from the timing thread: it must not
// block or allocate.
class PttRelay {
 public:
  virtual ~PttRelay() = default;
  virtual void Ptt(bool on) noexcept = 0;
};

// Sidetone only: no port line.
class NullKeyLine : public KeyLine {
 public:
  Result SetKey(bool) override { return {}; }
  Result SetPtt(bool) override { return {}; }
  void AllUp() noexcept override {}
};

// What switching a line came to: 0 or the system's error number.
inline Result Switched(int err) {
  return err == 0 ? Result() : Result::FromErrno(Fault::Write, err);
}

// The ioctl call used by the port lines; tests pass a recorder, since
// pseudo-terminals refuse modem-line ioctls.
using IoctlFn = int (*)(int fd, unsigned long request, void* arg);
int SystemIoctl(int fd, unsigned long request, void* arg);

enum class PortKind { Serial, Parallel };

// Whether device may be opened as a port of this kind, from its name alone
// (opening some devices does something: a watchdog starts, a console
// changes hands): a character device of the kernel's serial (tty) or
// parallel (ppdev) class, or a pseudo-terminal, never a console or virtual
// terminal, a regular file, a pipe or a block device. The open port then
// proves itself by answering the modem-line or ppdev ioctls.
Result CheckPortDevice(const std::string& device, PortKind kind);
// The same, and the device opened and asked, without writing or switching
// anything, whether it is such a port (modem lines, or ppdev's mode): a
// pseudo-terminal without modem lines (a terminal session) is not.
Result ProbePort(const std::string& device, PortKind kind, IoctlFn ioctl = SystemIoctl);

}  // namespace orvex::engine
