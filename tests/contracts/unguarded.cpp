// A member the engine's lock guards, touched without the lock: a build with
// -Wthread-safety must refuse it.
#include "engine/timing/keyer_engine.h"

struct Probe {
  orvex::engine::PiMutex mu;
  bool keyDown GUARDED_BY(mu) = false;
  void Key() { keyDown = true; }
};
