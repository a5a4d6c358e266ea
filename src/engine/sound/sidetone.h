// A sidetone output: what the operator hears while the key is down. One
// implementation per kind of output; the engine calls them under its lock.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

namespace orvex::engine {

// The sidetone devices as the settings number them.
enum class SidetoneDevice : int16_t { None = 0, PcSpeaker = 1, Midi = 3, SoundCard = 4 };

// A stored device number: 3 MIDI, 4 sound card, any other the PC speaker
// (as the CW Options dialog shows it).
inline SidetoneDevice SidetoneDeviceFrom(int number) {
  for (SidetoneDevice device : {SidetoneDevice::Midi, SidetoneDevice::SoundCard})
    if (number == static_cast<int>(device)) return device;
  return SidetoneDevice::PcSpeaker;
}

// ORVEX_SIDETONE_MS: the sound server's buffer (PulseAudio) or quantum
// (PipeWire) a station asks for where the default runs dry, 2 to 200 ms:
// more room, more delay. 0 when unset or out of range.
inline int SidetoneBufferMs() {
  const char* ms = std::getenv("ORVEX_SIDETONE_MS");
  const long value = ms ? std::strtol(ms, nullptr, 10) : 0;
  return value >= 2 && value <= 200 ? static_cast<int>(value) : 0;
}

// What the operator is hearing, in words for a status line.
struct SidetoneStatus {
  std::string output;    // "PulseAudio", "ALSA", "PC speaker", ...; empty: none
  double latencyMs = 0;  // from a key change to its sound, where it is known
  // Why nothing is heard; empty while it plays.
  std::string problem;
  // Since it opened: how often the sound ran dry (each a gap in the tone
  // if it fell in one), and how many edges came too late for their sample.
  uint64_t underruns = 0;
  uint64_t lateEdges = 0;
  // Rendered ahead: each edge on the key's own moment, not latencyMs after.
  bool withKey = false;
  // Key changes the timing thread made late (woken late by a stalled
  // machine, it re-based the run): their tone, rendered ahead, was on time.
  uint64_t lateKeys = 0;
  // The buffer the sound server granted, in ms (0: not a server's).
  double grantedMs = 0;
  // What plays, which is not the device chosen when that one is missing.
  SidetoneDevice device = SidetoneDevice::None;
};

class Sidetone {
 public:
  virtual ~Sidetone() = default;
  // atNs: when the key changed (CLOCK_MONOTONIC), so outputs with a buffer
  // can put the edge on its exact sample.
  virtual void SetKey(bool down, int64_t atNs) = 0;
  virtual void SetPitch(int hz) = 0;
  // 0 to 100 %; outputs that are only on or off (the PC speaker) ignore it.
  virtual void SetVolume(int) {}
  virtual SidetoneStatus Status() const = 0;

  // Outputs with a stream buffer they can change render the tone ahead of
  // the key: the engine plans each change before the key moves, and says
  // SetKey only for changes it could not plan (a stop). Others sound each
  // change as SetKey tells it.
  // How far ahead of the key changes should be planned; 0: not at all.
  virtual int64_t PlansAheadNs() const { return 0; }
  // The first moment whose sound is not made yet: a run starting from idle
  // waits for it (bounded by the output), so its first edge is placed on
  // its own sample.
  virtual int64_t ReadyNs() const { return 0; }
  // The key goes down or up at atNs (CLOCK_MONOTONIC, in time order).
  virtual void Plan(bool, int64_t) {}
  // Changes planned from fromNs on no longer hold.
  virtual void Unplan(int64_t) {}
  // Changes planned from fromNs on come byNs later (the run was re-based
  // after a late wake); those already heard are not heard again.
  virtual void Shift(int64_t, int64_t) {}
  // The key is known up to throughNs.
  virtual void PlannedThrough(int64_t) {}
};

// Silence: no sound device at all, or none wanted. Keying still works.
// problem says why, when a sound was wanted.
class NullSidetone : public Sidetone {
 public:
  explicit NullSidetone(std::string problem = {}) : problem_(std::move(problem)) {}
  void SetKey(bool, int64_t) override {}
  void SetPitch(int) override {}
  SidetoneStatus Status() const override { return {"", 0, problem_}; }

 private:
  std::string problem_;
};

}  // namespace orvex::engine
