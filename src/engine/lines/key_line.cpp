#include "engine/lines/key_line.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace orvex::engine {
namespace {

// The kernel's class of a character device: "tty", "ppdev", "misc"...
std::string DeviceClass(dev_t device) {
  const std::string link = "/sys/dev/char/" + std::to_string(major(device)) + ":" +
                           std::to_string(minor(device)) + "/subsystem";
  char target[PATH_MAX];
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
  if (n <= 0) return {};
  const std::string path(target, static_cast<size_t>(n));
  return path.substr(path.rfind('/') + 1);
}

}  // namespace

int SystemIoctl(int fd, unsigned long request, void* arg) {
  return ::ioctl(fd, request, arg);
}

Result CheckPortDevice(const std::string& device, PortKind kind) {
  struct stat st;
  if (::stat(device.c_str(), &st) != 0) return Result::FromErrno(Fault::Open, errno);
  const Result refused = Result::Failed(
      Fault::Open, ENOTTY, kind == PortKind::Serial ? "not a serial port" : "not a parallel port");
  if (!S_ISCHR(st.st_mode)) return refused;
  const unsigned maj = major(st.st_rdev), min = minor(st.st_rdev);
  const bool pseudo = maj >= 136 && maj <= 143;  // a pseudo-terminal: a virtual port
  // Virtual terminals, the console, /dev/tty and their screen memory.
  const bool console = (maj == 4 && min < 64) || maj == 5 || maj == 7;
  if (console) return refused;
  const std::string cls = DeviceClass(st.st_rdev);
  if (pseudo || cls == (kind == PortKind::Serial ? "tty" : "ppdev")) return {};
  return refused;
}

Result ProbePort(const std::string& device, PortKind kind, IoctlFn ioctl) {
  if (Result fits = CheckPortDevice(device, kind); !fits.ok()) return fits;
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Result::FromErrno(Fault::Open, errno);
  int answer = 0;
  const bool port = ioctl(fd, kind == PortKind::Serial ? TIOCMGET : PPGETMODE, &answer) == 0;
  ::close(fd);
  if (port) return {};
  return Result::Failed(Fault::Open, ENOTTY,
                        kind == PortKind::Serial ? "not a serial port" : "not a parallel port");
}

}  // namespace orvex::engine
