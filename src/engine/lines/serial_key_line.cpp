#include "engine/lines/serial_key_line.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "engine/system/emergency.h"

namespace orvex::engine {
namespace {

class SerialKeyLine : public KeyLine {
 public:
  SerialKeyLine(int fd, IoctlFn ioctl, LineChoice lines)
      : fd_(fd),
        ioctl_(ioctl),
        key_(Bit(lines.key)),
        ptt_(Bit(lines.ptt)),
        registration_(emergency::Register(fd, emergency::Kind::Serial)) {}
  ~SerialKeyLine() override;
  Result SetKey(bool down) override;
  Result SetPtt(bool on) override;
  void AllUp() noexcept override;
  int DupStatusFd() const override { return ::fcntl(fd_, F_DUPFD_CLOEXEC, 0); }

 private:
  static int Bit(SerialLine line) {
    return line == SerialLine::Dtr ? TIOCM_DTR : line == SerialLine::Rts ? TIOCM_RTS : 0;
  }
  Result Modem(bool set, int bits) noexcept;
  int fd_;
  IoctlFn ioctl_;
  int key_, ptt_;  // the modem-line bits; 0 for no line
  emergency::Registration registration_;
};

}  // namespace

Result OpenSerialKeyLine(const std::string& device, std::unique_ptr<KeyLine>* line, IoctlFn ioctl,
                         LineChoice lines) {
  if (lines.key == SerialLine::None || lines.key == SerialLine::Rig || lines.key == lines.ptt)
    return Result::Failed(Fault::Refused, EINVAL, "the key line and the PTT line must differ");
  if (Result fits = CheckPortDevice(device, PortKind::Serial); !fits.ok()) return fits;
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Result::FromErrno(Fault::Open, errno);
  bool exclusive = false;
  auto fail = [&](Result why) {
    if (exclusive) ioctl(fd, TIOCNXCL, nullptr);  // a refused port is left as it was found
    ::close(fd);
    return why;
  };
  // Modem lines to switch, asked before anything is switched.
  int modem = 0;
  if (ioctl(fd, TIOCMGET, &modem) != 0)
    return fail(Result::Failed(Fault::Open, ENOTTY, "not a serial port with modem lines"));
  // TIOCEXCL keeps other programs out but not root; the lock also keeps out
  // a second Orvex run by root.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(Result::FromErrno(Fault::Open, errno));
  if (ioctl(fd, TIOCEXCL, nullptr) != 0) return fail(Result::FromErrno(Fault::Open, errno));
  exclusive = true;
  int bits = TIOCM_DTR | TIOCM_RTS;
  if (ioctl(fd, TIOCMBIC, &bits) != 0) return fail(Result::FromErrno(Fault::Open, errno));
  *line = std::make_unique<SerialKeyLine>(fd, ioctl, lines);
  return {};
}

SerialKeyLine::~SerialKeyLine() {
  AllUp();
  emergency::Unregister(registration_);
  ioctl_(fd_, TIOCNXCL, nullptr);
  ::close(fd_);
}

Result SerialKeyLine::Modem(bool set, int bits) noexcept {
  if (bits == 0) return {};  // no such line here
  const emergency::LineChange change;
  if (set && !change.Allowed()) return {};  // the process is ending: nothing is keyed now
  return Switched(ioctl_(fd_, set ? TIOCMBIS : TIOCMBIC, &bits) == 0 ? 0 : errno);
}

Result SerialKeyLine::SetKey(bool down) {
  return Modem(down, key_);
}
Result SerialKeyLine::SetPtt(bool on) {
  return Modem(on, ptt_);
}
void SerialKeyLine::AllUp() noexcept {
  // Both, whichever are in use: a line the kernel raised on open keys some
  // radios even when nothing here uses it.
  (void)Modem(false, TIOCM_DTR | TIOCM_RTS);  // the path of last resort
}

}  // namespace orvex::engine
