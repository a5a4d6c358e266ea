#include "engine/lines/parallel_key_line.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "engine/system/emergency.h"

namespace orvex::engine {
namespace {

class ParallelKeyLine : public KeyLine {
 public:
  ParallelKeyLine(int fd, IoctlFn ioctl, unsigned char control)
      : fd_(fd),
        ioctl_(ioctl),
        control_(control),
        registration_(emergency::Register(fd, emergency::Kind::Parallel, control)) {}
  ~ParallelKeyLine() override;
  Result SetKey(bool down) override;
  Result SetPtt(bool on) override;
  void AllUp() noexcept override;

 private:
  Result Write() noexcept;
  int fd_;
  IoctlFn ioctl_;
  unsigned char control_;
  emergency::Registration registration_;
};

// Control register bits: pin 17 is nSelectIn (inverted by the hardware),
// pin 16 is nInit (not inverted).
constexpr unsigned char kPin17 = 0x08;
constexpr unsigned char kPin16 = 0x04;

// The control byte with both lines up, from any other control byte.
unsigned char UpControl(unsigned char control) {
  return static_cast<unsigned char>((control | kPin17) & ~kPin16);
}

}  // namespace

Result OpenParallelKeyLine(const std::string& device, std::unique_ptr<KeyLine>* line,
                           IoctlFn ioctl) {
  if (Result fits = CheckPortDevice(device, PortKind::Parallel); !fits.ok()) return fits;
  const int fd = ::open(device.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return Result::FromErrno(Fault::Open, errno);
  auto fail = [&](int err) {
    ::close(fd);
    return Result::FromErrno(Fault::Open, err);
  };
  // A parallel port answers this without being claimed; anything else
  // is refused before it is touched.
  int mode = 0;
  if (ioctl(fd, PPGETMODE, &mode) != 0) {
    ::close(fd);
    return Result::Failed(Fault::Open, ENOTTY, "not a parallel port");
  }
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
  *line = std::make_unique<ParallelKeyLine>(fd, ioctl, control);
  return {};
}

ParallelKeyLine::~ParallelKeyLine() {
  AllUp();
  emergency::Unregister(registration_);
  ioctl_(fd_, PPRELEASE, nullptr);
  ::close(fd_);
}

Result ParallelKeyLine::Write() noexcept {
  const emergency::LineChange change;
  // The process is ending: only a byte with both lines up goes out now.
  if (!change.Allowed()) control_ = UpControl(control_);
  return Switched(ioctl_(fd_, PPWCONTROL, &control_) == 0 ? 0 : errno);
}

Result ParallelKeyLine::SetKey(bool down) {
  control_ = static_cast<unsigned char>(down ? control_ & ~kPin17 : control_ | kPin17);
  return Write();
}

Result ParallelKeyLine::SetPtt(bool on) {
  control_ = static_cast<unsigned char>(on ? control_ | kPin16 : control_ & ~kPin16);
  return Write();
}

void ParallelKeyLine::AllUp() noexcept {
  control_ = UpControl(control_);
  (void)Write();  // the path of last resort: a failure has nobody left to tell
}

}  // namespace orvex::engine
