#include "engine/parallel_key_line.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "engine/emergency.h"

namespace orvex::engine {

std::unique_ptr<ParallelKeyLine> ParallelKeyLine::Open(const std::string& device,
                                                       OpenResult* result, IoctlFn ioctl) {
  const int fd = ::open(device.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    *result = OpenResultFromErrno(errno);
    return nullptr;
  }
  auto fail = [&](int err) {
    ::close(fd);
    *result = OpenResultFromErrno(err);
    return nullptr;
  };
  if (ioctl(fd, PPEXCL, nullptr) != 0) return fail(errno);
  if (ioctl(fd, PPCLAIM, nullptr) != 0) return fail(errno);
  unsigned char control = 0;
  if (ioctl(fd, PPRCONTROL, &control) != 0) {
    const int err = errno;
    ioctl(fd, PPRELEASE, nullptr);
    return fail(err);
  }
  // Keep the other control bits, drop the bidirectional-mode bit.
  control = UpControl(static_cast<unsigned char>(control & 0x0F));
  if (ioctl(fd, PPWCONTROL, &control) != 0) {
    const int err = errno;
    ioctl(fd, PPRELEASE, nullptr);
    return fail(err);
  }
  emergency::Register(fd, emergency::Kind::Parallel, control);
  *result = {};
  return std::unique_ptr<ParallelKeyLine>(new ParallelKeyLine(fd, ioctl, control));
}

ParallelKeyLine::~ParallelKeyLine() {
  AllUp();
  emergency::Unregister(fd_);
  ioctl_(fd_, PPRELEASE, nullptr);
  ::close(fd_);
}

int ParallelKeyLine::Write() noexcept {
  const emergency::LineChange change;
  // The process is ending: only a byte with both lines up goes out now.
  if (!change.Allowed()) control_ = UpControl(control_);
  return ioctl_(fd_, PPWCONTROL, &control_) == 0 ? 0 : errno;
}

int ParallelKeyLine::SetKey(bool down) {
  control_ = static_cast<unsigned char>(down ? control_ & ~kPin17 : control_ | kPin17);
  return Write();
}

int ParallelKeyLine::SetPtt(bool on) {
  control_ = static_cast<unsigned char>(on ? control_ | kPin16 : control_ & ~kPin16);
  return Write();
}

void ParallelKeyLine::AllUp() noexcept {
  control_ = UpControl(control_);
  Write();
}

}  // namespace orvex::engine
