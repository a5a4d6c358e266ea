#include "core/config/env_settings.h"

namespace orvex {

EnvSettings ZeroedEnvSettings() {
  EnvSettings s;
  s.CWPort.clear();
  s.CWSpeed = s.CWSidetone_Device = s.CWSidetone_Enable = s.CWTone = s.CWWeight = 0;
  s.PacketTop = 0;
  s.PacketFontName.clear();
  s.PacketFontSize = 0;
  return s;
}

}  // namespace orvex
