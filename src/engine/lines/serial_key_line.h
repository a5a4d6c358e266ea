// Serial port keying: DTR keys CW and RTS is PTT, or as the station is
// wired (RTS keys, DTR is PTT, no PTT).
#pragma once

#include <memory>
#include <string>

#include "engine/lines/key_line.h"

namespace orvex::engine {

// Opens device exclusively into *line and lowers DTR and RTS at once (the
// kernel raises both on open, which would key the radio). A device whose
// lines cannot be lowered is not opened: a key we could not raise is worse
// than no key.
Result OpenSerialKeyLine(const std::string& device, std::unique_ptr<KeyLine>* line,
                         IoctlFn ioctl = SystemIoctl, LineChoice lines = {});

}  // namespace orvex::engine
