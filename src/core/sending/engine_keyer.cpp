#include "core/sending/engine_keyer.h"

#include <algorithm>

namespace orvex {

int16_t EngineKeyer::Pending() {
  return static_cast<int16_t>(std::min(engine_.Pending(), 32767));
}

int64_t EngineKeyer::NextChangeMs() {
  const int64_t ns = engine_.NextChangeNs();
  return ns == engine::kNoDeadline ? -1 : ns / 1'000'000;
}

}  // namespace orvex
