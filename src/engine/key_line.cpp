#include "engine/key_line.h"

#include <sys/ioctl.h>

namespace orvex::engine {

int SystemIoctl(int fd, unsigned long request, void* arg) {
  return ::ioctl(fd, request, arg);
}

}  // namespace orvex::engine
