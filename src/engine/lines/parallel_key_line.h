// Parallel port keying through ppdev: pin 17 keys CW, pin 16 is PTT; a line
// is "down"/"on" when its pin is high.
#pragma once

#include <memory>
#include <string>

#include "engine/lines/key_line.h"

namespace orvex::engine {

// Claims device exclusively into *line with both lines up, the other
// control bits kept.
Result OpenParallelKeyLine(const std::string& device, std::unique_ptr<KeyLine>* line,
                           IoctlFn ioctl = SystemIoctl);

}  // namespace orvex::engine
