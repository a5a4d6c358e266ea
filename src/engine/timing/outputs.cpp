#include "engine/timing/outputs.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "engine/lines/device_names.h"
#include "engine/lines/parallel_key_line.h"
#include "engine/lines/serial_key_line.h"
#include "engine/sound/midi_sidetone.h"
#include "engine/sound/pcspkr_sidetone.h"
#include "engine/sound/pipewire_sidetone.h"
#include "engine/sound/portaudio_sidetone.h"
#include "engine/sound/pulse_sidetone.h"

namespace orvex::engine {
namespace {

Result OpenKeyLine(int port, LineChoice lines, std::unique_ptr<KeyLine>* line) {
  if (port == 0) {
    *line = std::make_unique<NullKeyLine>();
    return {};
  }
  const std::string device = DeviceForPort(port);
  if (device.empty()) return Result::FromErrno(Fault::Open, ENODEV);
  return port > 0 ? OpenSerialKeyLine(device, line, SystemIoctl, lines)
                  : OpenParallelKeyLine(device, line);
}

bool Audio(const char* choice) {
  const char* audio = std::getenv("ORVEX_AUDIO");
  return audio && std::strcmp(audio, choice) == 0;
}

// The sound server first (where the desktop plays everything): PipeWire
// natively when its daemon runs, else PulseAudio's; then the sound card
// through PortAudio, then silence that says why. ORVEX_AUDIO names one.
std::unique_ptr<Sidetone> SoundCardOrSilence() {
  Result graph = Result::Missing(), server = Result::Missing(), card = Result::Missing();
  const bool any = !Audio("pipewire") && !Audio("pulse") && !Audio("portaudio");
  if (any || Audio("pipewire")) {
    std::unique_ptr<PipeWireSidetone> pipeWire;
    graph = PipeWireSidetone::Open(&pipeWire);
    if (pipeWire) return pipeWire;
  }
  if (any || Audio("pulse")) {
    std::unique_ptr<PulseSidetone> pulse;
    server = PulseSidetone::Open(&pulse);
    if (pulse) return pulse;
  }
  if (any || Audio("portaudio")) {
    std::unique_ptr<PortAudioSidetone> portAudio;
    card = PortAudioSidetone::Open(&portAudio);
    if (portAudio) return portAudio;
  }
  // Silence that says why, every way it was tried.
  std::string why;
  for (const Result& tried : {graph, server, card})
    if (tried.failed()) why += (why.empty() ? "" : "; ") + tried.Description();
  return std::make_unique<NullSidetone>(
      why.empty() ? "no sound server answered and no sound card could be opened" : why);
}

std::unique_ptr<Sidetone> OpenSidetone(SidetoneDevice device) {
  if (Audio("none")) return std::make_unique<NullSidetone>();
  switch (device) {
    case SidetoneDevice::PcSpeaker: {
      std::unique_ptr<PcSpeakerSidetone> speaker;
      if (PcSpeakerSidetone::Open(&speaker).ok()) return speaker;
      return SoundCardOrSilence();
    }
    case SidetoneDevice::Midi: {
      std::unique_ptr<MidiSidetone> midi;
      if (MidiSidetone::Open(&midi).ok()) return midi;
      return SoundCardOrSilence();
    }
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
