#include "keyer/tone_synth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "test_support.h"
#include "keyer/wav_writer.h"

namespace orvex::keyer {
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

TEST(ToneSynth, SilentWhileTheKeyIsUp) {
  ToneSynth synth(48000);
  const auto out = Render(synth, 4800);
  EXPECT_EQ(Peak(out, 0, out.size()), 0.0f);
}

TEST(ToneSynth, EdgesRiseAndFallOverFiveMillisecondsWithoutAStep) {
  ToneSynth synth(48000, 5.0, 0.5f);
  synth.SetPitch(600);
  synth.SetKey(true);
  auto on = Render(synth, 4800);
  ASSERT_EQ(synth.EdgeSamples(), 240);
  EXPECT_LT(Peak(on, 0, 12), 0.01f);  // the first quarter millisecond is near silence
  EXPECT_GT(Peak(on, 240, 480), 0.49f);       // full level after the edge
  EXPECT_LT(Peak(on, 0, 120), Peak(on, 120, 240));
  synth.SetKey(false);
  auto off = Render(synth, 4800);
  EXPECT_EQ(Peak(off, 240, off.size()), 0.0f);  // silent after the falling edge
  // No click: the largest step between samples is what a 600 Hz sine makes.
  const float sineStep = 0.5f * 2 * static_cast<float>(M_PI) * 600 / 48000;
  on.insert(on.end(), off.begin(), off.end());
  for (size_t i = 1; i < on.size(); ++i) EXPECT_LE(std::fabs(on[i] - on[i - 1]), sineStep * 1.05f);
}

TEST(ToneSynth, PlaysThePitch) {
  ToneSynth synth(48000);
  synth.SetPitch(750);
  synth.SetKey(true);
  const auto out = Render(synth, 48000);
  int crossings = 0;
  for (size_t i = 2400; i < out.size(); ++i)
    if (out[i - 1] < 0 && out[i] >= 0) ++crossings;
  EXPECT_NEAR(crossings, 750 * 0.95, 2);  // 0.95 s after the edge
}

TEST(RenderElements, ElementEdgesFallOnTheirExactSamples) {
  // 1000 units of 0.1 ms alternate: a rendering that rounded each element
  // separately would drift by up to half a sample per element.
  std::vector<KeyElement> elements;
  for (int i = 0; i < 1000; ++i) elements.push_back({i % 2 == 0, 1});
  const auto samples = RenderElements(elements, 0.1, 600, 22050, 0, 0);
  EXPECT_EQ(samples.size(), static_cast<size_t>(std::lround(1000 * 0.1 * 22.05)));
  const auto lead = RenderElements({{true, 10}}, 50, 600, 22050, 200, 300);
  EXPECT_EQ(lead.size(), static_cast<size_t>(22050 * 1.0));
  EXPECT_EQ(lead[22050 / 5 - 1], 0);  // the lead is silent
}

TEST(WriteWav, MonoSixteenBitHeaderAndSamples) {
  test::TempDir dir;
  const std::string path = dir.File("out.wav");
  std::string error;
  ASSERT_TRUE(WriteWav(path, {0, 1, -1, 32767}, 22050, &error)) << error;
  const std::string wav = test::ReadFile(path);
  ASSERT_EQ(wav.size(), 44u + 8u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
  auto u16 = [&](size_t at) { return (uint8_t)wav[at] | ((uint8_t)wav[at + 1] << 8); };
  auto u32 = [&](size_t at) { return u16(at) | (u16(at + 2) << 16); };
  EXPECT_EQ(u32(4), 36u + 8u);
  EXPECT_EQ(u16(20), 1);       // PCM
  EXPECT_EQ(u16(22), 1);       // mono
  EXPECT_EQ(u32(24), 22050u);  // rate
  EXPECT_EQ(u16(34), 16);      // bits
  EXPECT_EQ(wav.substr(36, 4), "data");
  EXPECT_EQ(u32(40), 8u);
  EXPECT_EQ(u16(46), 1);
  EXPECT_EQ(u16(48), 0xFFFF);
}

TEST(WriteWav, AFailedWriteLeavesNoFile) {
  std::string error;
  EXPECT_FALSE(WriteWav("/nonexistent-dir/out.wav", {0}, 22050, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace orvex::keyer
