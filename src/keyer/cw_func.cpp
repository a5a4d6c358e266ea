#include "keyer/cw_func.h"

#include <algorithm>

#include "keyer/keyer_engine.h"
#include "keyer/outputs.h"

namespace orvex::keyer {

int16_t CWFunc(KeyerEngine& engine, int16_t op, int16_t a, int16_t b) {
  switch (op) {
    case CWOP_OPEN:
      return static_cast<int16_t>(engine.Open(b));
    case CWOP_CLOSE:
      engine.Close();
      return 0;
    case CWOP_ABORT:
      engine.Abort();
      return 0;
    case CWOP_PENDING:
      return static_cast<int16_t>(std::min(engine.Pending(), 32767));
    case CWOP_ELEMENT:
      engine.Element(a == 0, b);
      return 0;
    case CWOP_KEYLINE:
      engine.SetKeyLine(b != 0);
      return 0;
    case CWOP_SIDETONE:
      engine.SetSidetone(b);
      return 0;
    case CWOP_TONE:
      engine.SetTone(b);
      return 0;
    case CWOP_ACTIVE:
      return engine.Active() ? 1 : 0;
    case CWOP_UNIT:
      engine.SetUnit(b);
      return 0;
    case CWOP_IDLE:
      engine.Idle();
      return 0;
    default:
      return -1;
  }
}

KeyerEngine& ProcessEngine() {
  static KeyerEngine engine(SystemOutputs(), KeyLog::FromEnvironment());
  return engine;
}

int16_t CWFunc(int16_t op, int16_t a, int16_t b) { return CWFunc(ProcessEngine(), op, a, b); }

}  // namespace orvex::keyer
