// Parallel port keying through ppdev: pin 17 keys CW, pin 16 is PTT; a line
// is "down"/"on" when its pin is high.
#pragma once

#include <memory>
#include <string>

#include "engine/key_line.h"
#include "engine/open_status.h"

namespace orvex::engine {

class ParallelKeyLine : public KeyLine {
 public:
  static std::unique_ptr<ParallelKeyLine> Open(const std::string& device, OpenResult* result,
                                               IoctlFn ioctl = SystemIoctl);
  ~ParallelKeyLine() override;

  int SetKey(bool down) override;
  int SetPtt(bool on) override;
  void AllUp() noexcept override;

  // Control register bits: pin 17 is nSelectIn (inverted by the hardware),
  // pin 16 is nInit (not inverted).
  static constexpr unsigned char kPin17 = 0x08;
  static constexpr unsigned char kPin16 = 0x04;
  // The control byte with both lines up, from any other control byte.
  static unsigned char UpControl(unsigned char control) {
    return static_cast<unsigned char>((control | kPin17) & ~kPin16);
  }

 private:
  ParallelKeyLine(int fd, IoctlFn ioctl, unsigned char control)
      : fd_(fd), ioctl_(ioctl), control_(control) {}
  int Write() noexcept;
  int fd_;
  IoctlFn ioctl_;
  unsigned char control_;
};

}  // namespace orvex::engine
