#include "engine/wav_writer.h"

#include <cmath>

#include "base/atomic_file.h"
#include "engine/tone_synth.h"

namespace orvex::engine {
namespace {

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

std::vector<int16_t> RenderElements(const std::vector<KeyElement>& elements, double unitMs,
                                    int pitchHz, int rate, double leadMs, double tailMs) {
  // The synthesiser the sound card plays through, on a clock of its own:
  // sample n is heard at n / rate, and each key change is stamped with the
  // time of the sample nearest its exact time.
  ToneSynth synth(rate);
  synth.SetPitch(pitchHz);
  std::vector<float> buffer;
  std::vector<int16_t> out;
  size_t done = 0;
  auto sampleNs = [&](size_t n) { return static_cast<int64_t>(std::llround(n * 1e9 / rate)); };
  auto sampleAt = [&](double ms) { return static_cast<size_t>(std::llround(ms * rate / 1000.0)); };
  auto renderTo = [&](size_t target) {
    if (target <= done) return;
    buffer.resize(target - done);
    synth.Render(buffer.data(), buffer.size(), sampleNs(done));
    for (float s : buffer) out.push_back(static_cast<int16_t>(std::lround(s * 32767.0f)));
    done = target;
  };
  double at = leadMs;
  for (const KeyElement& e : elements) {
    if (e.units <= 0) continue;
    synth.SetKey(e.down, sampleNs(sampleAt(at)));
    at += e.units * unitMs;
    renderTo(sampleAt(at));
  }
  synth.SetKey(false, sampleNs(sampleAt(at)));
  renderTo(sampleAt(at + tailMs));
  return out;
}

FileResult WriteWav(const std::string& path, const std::vector<int16_t>& samples, int rate) {
  // The RIFF sizes are 32 bits: a longer render would write a file no
  // player reads right.
  if (samples.size() * 2 + 36 > 0xFFFFFFFFull) return FileResult::Failed(FileStage::Write, EFBIG);
  const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::string bytes = "RIFF";
  Put32(bytes, 36 + dataBytes);
  bytes += "WAVEfmt ";
  Put32(bytes, 16);
  Put16(bytes, 1);  // PCM
  Put16(bytes, 1);  // mono
  Put32(bytes, static_cast<uint32_t>(rate));
  Put32(bytes, static_cast<uint32_t>(rate) * 2);
  Put16(bytes, 2);
  Put16(bytes, 16);
  bytes += "data";
  Put32(bytes, dataBytes);
  for (int16_t s : samples) Put16(bytes, static_cast<uint16_t>(s));
  return ReplaceFileAtomically(path, bytes);
}

}  // namespace orvex::engine
