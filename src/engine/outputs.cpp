#include "engine/outputs.h"

#include <cstdlib>
#include <cstring>

#include "engine/device_names.h"
#include "engine/midi_sidetone.h"
#include "engine/parallel_key_line.h"
#include "engine/pcspkr_sidetone.h"
#include "engine/portaudio_sidetone.h"
#include "engine/serial_key_line.h"

namespace orvex::engine {
namespace {

std::unique_ptr<KeyLine> OpenKeyLine(int port, OpenResult* result) {
  *result = {};
  if (port == 0) return std::make_unique<NullKeyLine>();
  const std::string device = DeviceForPort(port);
  if (device.empty()) {
    *result = {OpenStatus::NotFound, 0};
    return nullptr;
  }
  if (port > 0) return SerialKeyLine::Open(device, result);
  return ParallelKeyLine::Open(device, result);
}

std::unique_ptr<Sidetone> SoundCardOrSilence() {
  if (auto card = PortAudioSidetone::Open()) return card;
  return std::make_unique<NullSidetone>();
}

std::unique_ptr<Sidetone> OpenSidetone(SidetoneDevice device) {
  const char* audio = std::getenv("ORVEX_AUDIO");
  if (audio && std::strcmp(audio, "none") == 0) return std::make_unique<NullSidetone>();
  switch (device) {
    case SidetoneDevice::PcSpeaker:
      if (auto speaker = PcSpeakerSidetone::Open()) return speaker;
      return SoundCardOrSilence();
    case SidetoneDevice::Midi:
      if (auto midi = MidiSidetone::Open()) return midi;
      return SoundCardOrSilence();
    case SidetoneDevice::SoundCard:
      return SoundCardOrSilence();
    case SidetoneDevice::None:
      break;
  }
  return std::make_unique<NullSidetone>();
}

}  // namespace

EngineOutputs SystemOutputs() {
  return {OpenKeyLine, OpenSidetone};
}

}  // namespace orvex::engine
