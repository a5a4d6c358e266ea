#include "core/sending/engine_keyer.h"

#include <algorithm>

namespace orvex {

int16_t EngineKeyer::Pending() {
  return static_cast<int16_t>(std::min(engine_.Pending(), 32767));
}

}  // namespace orvex
