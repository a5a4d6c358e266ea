#include "keyer/outputs.h"

#include <cstdlib>
#include <cstring>

#include "keyer/device_names.h"
#include "keyer/midi_sidetone.h"
#include "keyer/parallel_key_line.h"
#include "keyer/pcspkr_sidetone.h"
#include "keyer/portaudio_sidetone.h"
#include "keyer/serial_key_line.h"

namespace orvex::keyer {
namespace {

std::unique_ptr<KeyLine> OpenKeyLine(int port, int* status) {
  *status = 0;
  if (port == 0) return std::make_unique<NullKeyLine>();
  const std::string device = DeviceForPort(port);
  if (device.empty()) {
    *status = 2;
    return nullptr;
  }
  if (port > 0) return SerialKeyLine::Open(device, status);
  return ParallelKeyLine::Open(device, status);
}

std::unique_ptr<Sidetone> SoundCardOrSilence() {
  if (auto card = PortAudioSidetone::Open()) return card;
  return std::make_unique<NullSidetone>();
}

std::unique_ptr<Sidetone> OpenSidetone(int device) {
  const char* audio = std::getenv("ORVEX_AUDIO");
  if (audio && std::strcmp(audio, "none") == 0) return std::make_unique<NullSidetone>();
  switch (device) {
    case 1:
      if (auto speaker = PcSpeakerSidetone::Open()) return speaker;
      return SoundCardOrSilence();
    case 3:
      if (auto midi = MidiSidetone::Open()) return midi;
      return SoundCardOrSilence();
    case 4:
      return SoundCardOrSilence();
    default:
      return std::make_unique<NullSidetone>();
  }
}

}  // namespace

EngineOutputs SystemOutputs() { return {OpenKeyLine, OpenSidetone}; }

}  // namespace orvex::keyer
