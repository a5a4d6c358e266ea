#include "engine/portaudio_sidetone.h"

#include <alsa/asoundlib.h>
#include <portaudio.h>

namespace orvex::engine {
namespace {

// ALSA reports every probe of a missing device on standard error; on a
// machine without a sound card that is noise, and the null output follows.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

struct PortAudioCallback {
  static int Run(const void*, void* out, unsigned long frames, const PaStreamCallbackTimeInfo*,
                 PaStreamCallbackFlags, void* self) {
    static_cast<PortAudioSidetone*>(self)->synth_.Render(static_cast<float*>(out), frames);
    return paContinue;
  }
};

std::unique_ptr<PortAudioSidetone> PortAudioSidetone::Open() {
  snd_lib_error_set_handler(QuietAlsa);
  if (Pa_Initialize() != paNoError) return nullptr;
  const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
  const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
  if (!info) {
    Pa_Terminate();
    return nullptr;
  }
  PaStreamParameters params{};
  params.device = device;
  params.channelCount = 1;
  params.sampleFormat = paFloat32;
  // Low latency: the tone must follow the key within a few milliseconds.
  params.suggestedLatency = info->defaultLowOutputLatency;
  const double rate = info->defaultSampleRate > 0 ? info->defaultSampleRate : 48000;

  std::unique_ptr<PortAudioSidetone> out(new PortAudioSidetone(rate));
  PaStream* stream = nullptr;
  if (Pa_OpenStream(&stream, nullptr, &params, rate, paFramesPerBufferUnspecified, paClipOff,
                    &PortAudioCallback::Run, out.get()) != paNoError) {
    Pa_Terminate();
    return nullptr;
  }
  if (Pa_StartStream(stream) != paNoError) {
    Pa_CloseStream(stream);
    Pa_Terminate();
    return nullptr;
  }
  out->stream_ = stream;
  return out;
}

PortAudioSidetone::~PortAudioSidetone() {
  if (!stream_) return;
  Pa_StopStream(static_cast<PaStream*>(stream_));
  Pa_CloseStream(static_cast<PaStream*>(stream_));
  Pa_Terminate();
}

}  // namespace orvex::engine
