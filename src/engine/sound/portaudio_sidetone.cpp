#include "engine/sound/portaudio_sidetone.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <portaudio.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>

#include "base/clock.h"

namespace orvex::engine {
namespace {

// Room on top of the stream's latency for a callback to come late.
constexpr double kHeadroomNs = 2e6;

// ALSA reports every probe of a missing device on standard error; on a
// machine without a sound card that is noise, and the null output follows.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

// PortAudio's JACK back-end prints "Cannot connect to server socket" and
// more when no JACK server runs, through JACK's own error printer, which
// cannot be reached from here. Standard error is pointed at /dev/null while
// PortAudio probes, and back after.
class QuietStderr {
 public:
  QuietStderr() : saved_(::dup(STDERR_FILENO)) {
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
    if (null >= 0) ::close(null);
  }
  ~QuietStderr() {
    if (saved_ < 0) return;
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_;
};

// PortAudio's own words for why.
Result Refused(PaError err) {
  return Result::Failed(Fault::Open, EIO, std::string("PortAudio: ") + Pa_GetErrorText(err));
}

}  // namespace

struct PortAudioCallback {
  static int Run(const void*, void* out, unsigned long frames, const PaStreamCallbackTimeInfo* time,
                 PaStreamCallbackFlags flags, void* p) {
    auto* self = static_cast<PortAudioSidetone*>(p);
    if (flags & paOutputUnderflow) self->underruns_.fetch_add(1, std::memory_order_relaxed);
    // When the first sample is heard: the back-end's own figure where it
    // gives one, else the stream's latency.
    double ahead = self->latencyNs_;
    if (time && time->outputBufferDacTime > 0 && time->currentTime > 0)
      ahead = (time->outputBufferDacTime - time->currentTime) * 1e9;
    const int64_t first =
        self->clock_.FirstSample(MonotonicNs() + static_cast<int64_t>(ahead), frames);
    self->synth_.Render(static_cast<float*>(out), frames, first);
    return paContinue;
  }
};

Result PortAudioSidetone::Open(std::unique_ptr<PortAudioSidetone>* opened) {
  snd_lib_error_set_handler(QuietAlsa);
  {
    QuietStderr quiet;
    if (const PaError err = Pa_Initialize(); err != paNoError) return Refused(err);
  }
  const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
  const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
  if (!info) {
    Pa_Terminate();
    return Result::Failed(Fault::Open, ENODEV, "PortAudio: no sound card to play through");
  }
  PaStreamParameters params{};
  params.device = device;
  params.channelCount = 1;
  params.sampleFormat = paFloat32;
  // Low latency: the tone must follow the key within a few milliseconds.
  params.suggestedLatency = info->defaultLowOutputLatency;
  const double rate = info->defaultSampleRate > 0 ? info->defaultSampleRate : 48000;

  std::unique_ptr<PortAudioSidetone> out(new PortAudioSidetone(rate));
  const PaHostApiInfo* host = Pa_GetHostApiInfo(info->hostApi);
  out->name_ = std::string(host && host->name ? host->name : "PortAudio") + " (" +
               (info->name ? info->name : "default") + ")";
  PaStream* stream = nullptr;
  if (const PaError err =
          Pa_OpenStream(&stream, nullptr, &params, rate, paFramesPerBufferUnspecified, paClipOff,
                        &PortAudioCallback::Run, out.get());
      err != paNoError) {
    Pa_Terminate();
    return Refused(err);
  }
  const PaStreamInfo* stream_info = Pa_GetStreamInfo(stream);
  out->latencyNs_ = stream_info ? stream_info->outputLatency * 1e9 : 0;
  // A key change is heard one stream latency later, plus room for a late
  // callback, plus a buffer: the one being filled when the key changed.
  const double buffer = params.suggestedLatency * 1e9;
  out->synth_.SetDelay(static_cast<int64_t>(out->latencyNs_ + buffer + kHeadroomNs));
  if (const PaError err = Pa_StartStream(stream); err != paNoError) {
    Pa_CloseStream(stream);
    Pa_Terminate();
    return Refused(err);
  }
  out->stream_ = stream;
  *opened = std::move(out);
  return {};
}

PortAudioSidetone::~PortAudioSidetone() {
  if (!stream_) return;
  Pa_StopStream(static_cast<PaStream*>(stream_));
  Pa_CloseStream(static_cast<PaStream*>(stream_));
  Pa_Terminate();
}

SidetoneStatus PortAudioSidetone::Status() const {
  SidetoneStatus status{name_,
                        static_cast<double>(synth_.Delay()) / 1e6,
                        {},
                        underruns_.load(std::memory_order_relaxed),
                        synth_.LateEdges()};
  status.device = SidetoneDevice::SoundCard;
  return status;
}

}  // namespace orvex::engine
