#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/tone_synth.h"
#include "engine/wav_writer.h"
#include "support/files.h"

namespace orvex::engine {
namespace {

std::vector<float> Render(ToneSynth& synth, size_t frames) {
  std::vector<float> out(frames);
  synth.Render(out.data(), frames);
  return out;
}

float Peak(const std::vector<float>& v, size_t from, size_t to) {
  float peak = 0;
  for (size_t i = from; i < to; ++i) peak = std::max(peak, std::fabs(v[i]));
  return peak;
}

TEST(ToneSynth, EdgesRiseAndFallOverFiveMillisecondsWithoutAClick) {
  ToneSynth synth(48000, 5.0, 0.5f);
  synth.SetPitch(600);
  EXPECT_EQ(Peak(Render(synth, 480), 0, 480), 0.0f);  // silent while the key is up
  synth.SetKey(true);
  auto on = Render(synth, 4800);
  EXPECT_LT(Peak(on, 0, 12), 0.01f);
  EXPECT_GT(Peak(on, 240, 480), 0.49f);  // full level after the 240-sample edge
  synth.SetKey(false);
  auto off = Render(synth, 4800);
  EXPECT_EQ(Peak(off, 240, off.size()), 0.0f);
  // The largest step between samples is what a 600 Hz sine makes.
  const float sineStep = 0.5f * 2 * static_cast<float>(M_PI) * 600 / 48000;
  on.insert(on.end(), off.begin(), off.end());
  for (size_t i = 1; i < on.size(); ++i) ASSERT_LE(std::fabs(on[i] - on[i - 1]), sineStep * 1.05f);
}

TEST(RenderElements, ElementEdgesFallOnTheirExactSamples) {
  // 1000 elements of 0.1 ms: rounding each separately would drift.
  std::vector<KeyElement> elements;
  for (int i = 0; i < 1000; ++i) elements.push_back({i % 2 == 0, 1});
  EXPECT_EQ(RenderElements(elements, 0.1, 600, 22050, 0, 0).size(), 2205u);
  const auto lead = RenderElements({{true, 10}}, 50, 600, 22050, 200, 300);
  EXPECT_EQ(lead.size(), 22050u);
  EXPECT_EQ(lead[22050 / 5 - 1], 0);  // the lead is silent
}

TEST(WriteWav, MonoSixteenBitPcmAndNoFileOnFailure) {
  test::TempDir dir;
  ASSERT_TRUE(WriteWav(dir.File("out.wav"), {0, 1, -1, 32767}, 22050).ok());
  const std::string wav = test::ReadFile(dir.File("out.wav"));
  ASSERT_EQ(wav.size(), 44u + 8u);
  auto u16 = [&](size_t at) { return (uint8_t)wav[at] | ((uint8_t)wav[at + 1] << 8); };
  auto u32 = [&](size_t at) { return u16(at) | (u16(at + 2) << 16); };
  EXPECT_EQ(wav.substr(0, 4) + wav.substr(8, 8) + wav.substr(36, 4), "RIFFWAVEfmt data");
  EXPECT_EQ(u32(4) + u16(22) + u32(24) + u16(34), 44u + 1 + 22050 + 16);  // size, mono, rate, bits
  EXPECT_EQ(u16(48), 0xFFFF);
  EXPECT_TRUE(WriteWav("/nonexistent-dir/out.wav", {0}, 22050).failed());
}

}  // namespace
}  // namespace orvex::engine
