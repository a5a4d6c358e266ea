#include "keyer/key_line.h"

#include <sys/ioctl.h>

#include <cerrno>

namespace orvex::keyer {

int OpenStatusFromErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return 2;
    case EBUSY:
    case EWOULDBLOCK:
      return 5;
    case EACCES:
    case EPERM:
      return 12;
    default:
      return err;
  }
}

int SystemIoctl(int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); }

}  // namespace orvex::keyer
