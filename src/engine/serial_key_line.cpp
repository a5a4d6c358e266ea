#include "engine/serial_key_line.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "engine/emergency.h"

namespace orvex::engine {

std::unique_ptr<SerialKeyLine> SerialKeyLine::Open(const std::string& device, OpenResult* result,
                                                   IoctlFn ioctl) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *result = OpenResultFromErrno(errno);
    return nullptr;
  }
  auto fail = [&](int err) {
    ::close(fd);
    *result = OpenResultFromErrno(err);
    return nullptr;
  };
  // TIOCEXCL keeps other programs out but not root; the lock also keeps out
  // a second Orvex run by root.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(errno);
  if (ioctl(fd, TIOCEXCL, nullptr) != 0) return fail(errno);
  int bits = TIOCM_DTR | TIOCM_RTS;
  if (ioctl(fd, TIOCMBIC, &bits) != 0) return fail(errno);
  emergency::Register(fd, emergency::Kind::Serial);
  *result = {};
  return std::unique_ptr<SerialKeyLine>(new SerialKeyLine(fd, ioctl));
}

SerialKeyLine::~SerialKeyLine() {
  AllUp();
  emergency::Unregister(fd_);
  ioctl_(fd_, TIOCNXCL, nullptr);
  ::close(fd_);
}

int SerialKeyLine::Modem(bool set, int bits) noexcept {
  const emergency::LineChange change;
  if (set && !change.Allowed()) return 0;  // the process is ending: nothing is keyed now
  return ioctl_(fd_, set ? TIOCMBIS : TIOCMBIC, &bits) == 0 ? 0 : errno;
}

int SerialKeyLine::SetKey(bool down) {
  return Modem(down, TIOCM_DTR);
}
int SerialKeyLine::SetPtt(bool on) {
  return Modem(on, TIOCM_RTS);
}
void SerialKeyLine::AllUp() noexcept {
  Modem(false, TIOCM_DTR | TIOCM_RTS);
}

}  // namespace orvex::engine
