#include "engine/sound/wav_writer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "base/atomic_file.h"
#include "engine/sound/tone_synth.h"

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

void RenderElementsTo(const std::vector<KeyElement>& elements, double unitMs, int pitchHz, int rate,
                      double leadMs, double tailMs,
                      const std::function<bool(const int16_t*, size_t)>& sink) {
  // The synthesiser the sound card plays through, on a clock of its own:
  // sample n is heard at n / rate, and each key change is stamped with the
  // time of the sample nearest its exact time. Rendered a piece at a time.
  ToneSynth synth(rate);
  synth.SetPitch(pitchHz);
  constexpr size_t kPiece = 8192;
  std::vector<float> buffer(kPiece);
  std::vector<int16_t> piece(kPiece);
  size_t done = 0;
  bool going = true;
  auto sampleNs = [&](size_t n) { return static_cast<int64_t>(std::llround(n * 1e9 / rate)); };
  auto sampleAt = [&](double ms) { return static_cast<size_t>(std::llround(ms * rate / 1000.0)); };
  auto renderTo = [&](size_t target) {
    while (going && done < target) {
      const size_t n = std::min(kPiece, target - done);
      synth.Render(buffer.data(), n, sampleNs(done));
      for (size_t i = 0; i < n; ++i)
        piece[i] = static_cast<int16_t>(std::lround(buffer[i] * 32767.0f));
      going = sink(piece.data(), n);
      done += n;
    }
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
}

std::vector<int16_t> RenderElements(const std::vector<KeyElement>& elements, double unitMs,
                                    int pitchHz, int rate, double leadMs, double tailMs) {
  std::vector<int16_t> out;
  RenderElementsTo(elements, unitMs, pitchHz, rate, leadMs, tailMs,
                   [&out](const int16_t* s, size_t n) {
                     out.insert(out.end(), s, s + n);
                     return true;
                   });
  return out;
}

namespace {

// The 44-byte header of a 16-bit mono PCM file with samples samples.
std::string WavHeader(uint64_t samples, int rate) {
  const auto dataBytes = static_cast<uint32_t>(samples * 2);
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
  return bytes;
}

// The RIFF sizes are 32 bits: a longer file no player reads right.
bool FitsWav(uint64_t samples) {
  return samples * 2 + 36 <= 0xFFFFFFFFull;
}

std::string LittleEndian(const int16_t* samples, size_t n) {
  std::string bytes;
  bytes.reserve(n * 2);
  for (size_t i = 0; i < n; ++i) Put16(bytes, static_cast<uint16_t>(samples[i]));
  return bytes;
}

}  // namespace

Result WriteWav(const std::string& path, const std::vector<int16_t>& samples, int rate) {
  if (!FitsWav(samples.size())) return Result::Failed(Fault::Write, EFBIG);
  return ReplaceFileAtomically(
      path, WavHeader(samples.size(), rate) + LittleEndian(samples.data(), samples.size()));
}

Result WriteWav(const std::string& path, const std::vector<KeyElement>& elements, double unitMs,
                int pitchHz, int rate, double leadMs, double tailMs) {
  // Summed as the renderer sums, so the count comes out the same.
  double at = leadMs;
  for (const KeyElement& e : elements)
    if (e.units > 0) at += e.units * unitMs;
  const auto samples = static_cast<uint64_t>(std::llround((at + tailMs) * rate / 1000.0));
  if (!FitsWav(samples)) return Result::Failed(Fault::Write, EFBIG);
  FileReplacement file;
  Result result = file.Open(path);
  if (result.ok()) result = file.Write(WavHeader(samples, rate));
  uint64_t written = 0;
  RenderElementsTo(elements, unitMs, pitchHz, rate, leadMs, tailMs,
                   [&](const int16_t* s, size_t n) {
                     if (result.ok()) result = file.Write(LittleEndian(s, n));
                     written += n;
                     return result.ok();
                   });
  // The header promised this many samples; rounding must not break it.
  for (; result.ok() && written < samples; ++written) result = file.Write(std::string(2, '\0'));
  return result.ok() ? file.Commit() : result;
}

}  // namespace orvex::engine
