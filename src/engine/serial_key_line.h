// Serial port keying: DTR keys CW, RTS is PTT.
#pragma once

#include <memory>
#include <string>

#include "engine/key_line.h"
#include "engine/open_status.h"

namespace orvex::engine {

class SerialKeyLine : public KeyLine {
 public:
  // Opens device exclusively and lowers DTR and RTS at once (the kernel
  // raises both on open, which would key the radio). nullptr with *result
  // set on failure.
  static std::unique_ptr<SerialKeyLine> Open(const std::string& device, OpenResult* result,
                                             IoctlFn ioctl = SystemIoctl);
  ~SerialKeyLine() override;

  int SetKey(bool down) override;
  int SetPtt(bool on) override;
  void AllUp() noexcept override;

 private:
  SerialKeyLine(int fd, IoctlFn ioctl) : fd_(fd), ioctl_(ioctl) {}
  int Modem(bool set, int bits) noexcept;
  int fd_;
  IoctlFn ioctl_;
};

}  // namespace orvex::engine
