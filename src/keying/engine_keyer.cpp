#include "keying/engine_keyer.h"

#include "keyer/cw_func.h"

namespace orvex {

using namespace keyer;

int16_t EngineKeyer::Open(int16_t port) { return CWFunc(engine_, CWOP_OPEN, 0, port); }
void EngineKeyer::Close() { CWFunc(engine_, CWOP_CLOSE, 0, 0); }
void EngineKeyer::Abort() { CWFunc(engine_, CWOP_ABORT, 0, 0); }
int16_t EngineKeyer::Pending() { return CWFunc(engine_, CWOP_PENDING, 0, 0); }
void EngineKeyer::Element(int16_t state, int16_t units) {
  CWFunc(engine_, CWOP_ELEMENT, state, units);
}
void EngineKeyer::KeyLine(int16_t on) { CWFunc(engine_, CWOP_KEYLINE, 0, on); }
void EngineKeyer::Sidetone(int16_t device) { CWFunc(engine_, CWOP_SIDETONE, 0, device); }
void EngineKeyer::Tone(int16_t hz) { CWFunc(engine_, CWOP_TONE, 0, hz); }
int16_t EngineKeyer::Active() { return CWFunc(engine_, CWOP_ACTIVE, 0, 0); }
void EngineKeyer::Unit(int16_t ms) { CWFunc(engine_, CWOP_UNIT, 0, ms); }
void EngineKeyer::Idle() { CWFunc(engine_, CWOP_IDLE, 0, 0); }

}  // namespace orvex
