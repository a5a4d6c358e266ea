#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <unistd.h>

#include <cmath>
#include <random>
#include <vector>

#include "engine/sound/pcspkr_sidetone.h"
#include "engine/sound/tone_ahead.h"
#include "engine/sound/tone_synth.h"
#include "engine/sound/wav_writer.h"
#include "engine/system/emergency.h"
#include "support/files.h"

namespace orvex::engine {
namespace {

constexpr double kRate = 48000;

int64_t SampleNs(size_t n) {
  return static_cast<int64_t>(std::llround(n * 1e9 / kRate));
}

// Renders total samples in buffers of chunk, sample n heard at n / rate.
std::vector<float> Render(ToneSynth& synth, size_t total, size_t chunk, size_t from = 0) {
  std::vector<float> out(total);
  for (size_t done = 0; done < total; done += chunk) {
    const size_t n = std::min(chunk, total - done);
    synth.Render(out.data() + done, n, SampleNs(from + done));
  }
  return out;
}

float Peak(const std::vector<float>& v, size_t from, size_t to) {
  float peak = 0;
  for (size_t i = from; i < to && i < v.size(); ++i) peak = std::max(peak, std::fabs(v[i]));
  return peak;
}

// Where an edge starts: its first sample is the sine's zero crossing, the
// one after it the first heard.
size_t EdgeStart(const std::vector<float>& v, size_t from = 0) {
  for (size_t i = from; i < v.size(); ++i)
    if (v[i] != 0.0f) return i - 1;
  return v.size();
}

TEST(ToneSynth, EdgesRiseAndFallOverFiveMillisecondsWithoutAClick) {
  ToneSynth synth(kRate, 5.0, 0.5f);
  synth.SetPitch(600);
  synth.SetKey(true, SampleNs(480));
  synth.SetKey(false, SampleNs(480 + 4800));
  auto v = Render(synth, 480 + 9600, 256);
  EXPECT_EQ(Peak(v, 0, 481), 0.0f);  // silent while the key is up
  EXPECT_LT(Peak(v, 480, 492), 0.01f);
  EXPECT_GT(Peak(v, 720, 960), 0.49f);  // full level after the 240-sample edge
  EXPECT_EQ(Peak(v, 480 + 4800 + 240, v.size()), 0.0f);
  // The largest step between samples is what a 600 Hz sine makes.
  const float sineStep = 0.5f * 2 * static_cast<float>(M_PI) * 600 / 48000;
  for (size_t i = 1; i < v.size(); ++i) ASSERT_LE(std::fabs(v[i] - v[i - 1]), sineStep * 1.05f);
}

// However the audio side cuts its buffers, each edge starts on the sample
// heard Delay() after the key changed.
TEST(ToneSynth, EdgesFallOnTheSampleHeardOneDelayAfterTheKeyChangeWhateverTheBuffers) {
  for (const size_t buffer : {size_t{1}, size_t{441}}) {
    ToneSynth synth(kRate);
    synth.SetDelay(10'000'000);
    // Changes at odd times (not on sample boundaries), published by the time
    // the buffer holding their edge is rendered: a buffer heard from h is
    // rendered at h - delay + its length at the latest.
    const std::vector<int64_t> changes = {1'234'567, 41'000'001, 90'500'000, 130'020'833};
    std::vector<size_t> expected;
    for (int64_t t : changes)
      expected.push_back(static_cast<size_t>(std::ceil((t + 10'000'000) * kRate / 1e9)));
    std::vector<float> out(kRate / 5);
    size_t done = 0, next = 0;
    while (done < out.size()) {
      const size_t n = std::min(buffer, out.size() - done);
      const int64_t renderedAt = SampleNs(done) - 10'000'000 + SampleNs(n);
      while (next < changes.size() && changes[next] <= renderedAt) {
        synth.SetKey(next % 2 == 0, changes[next]);
        ++next;
      }
      synth.Render(out.data() + done, n, SampleNs(done));
      done += n;
    }
    EXPECT_EQ(synth.LateEdges(), 0u);
    EXPECT_EQ(EdgeStart(out), expected[0]);
    // The tone fades out over 240 samples from the key-up's sample, and is
    // silent from then until the next key-down's sample.
    EXPECT_NE(out[expected[1] + 238], 0.0f);
    EXPECT_EQ(Peak(out, expected[1] + 240, expected[2]), 0.0f);
    EXPECT_EQ(EdgeStart(out, expected[1] + 240), expected[2]);
    EXPECT_EQ(Peak(out, expected[3] + 240, out.size()), 0.0f);
  }
}

TEST(ToneSynth, AChangeTooLateForItsSampleIsHeardAtOnceAndLaterOnesOnTime) {
  ToneSynth synth(kRate);
  synth.SetDelay(2'000'000);
  Render(synth, 4800, 480);  // 100 ms heard
  synth.SetKey(true, 0);     // due at 2 ms, long gone (a stalled stream)
  synth.SetKey(false, SampleNs(4800 + 1000));
  const auto v = Render(synth, 1920, 480, 4800);
  EXPECT_EQ(EdgeStart(v), 0u);
  EXPECT_EQ(synth.LateEdges(), 1u);
  // The stall does not push later edges back: the key-up is heard 2 ms
  // (96 samples) after it happened.
  EXPECT_EQ(synth.Delay(), 2'000'000);
  EXPECT_NE(v[1000 + 96 + 238], 0.0f);
  EXPECT_EQ(Peak(v, 1000 + 96 + 240, v.size()), 0.0f);
}

TEST(ToneSynth, ATonesEndsWithTheKeyEvenWhenNobodyRenderedForLong) {
  // A sound server that stalls: the queue of changes overflows; once it
  // plays again the tone still ends where the key is, up.
  ToneSynth synth(kRate);
  for (int i = 0; i < 1001; ++i) synth.SetKey(i % 2 == 0, i);  // ends down
  synth.SetKey(false, 2000);
  const auto v = Render(synth, 9600, 480, 0);
  EXPECT_EQ(Peak(v, 4800, v.size()), 0.0f);
}

TEST(StreamClock, FollowsTheStreamAndNotTheJitterOfEachEstimate) {
  const double rate = 48000;
  StreamClock clock(rate);
  std::mt19937 random(7);
  std::uniform_real_distribution<double> jitter(-0.5e6, 0.5e6);
  // The sound card runs 0.1 % fast against the monotonic clock: its own
  // rate must be learnt, or the tone drifts from the key a little more
  // with every buffer.
  const double truePeriod = 1e9 / rate * (1 - 1000e-6);
  double worst = 0;
  for (int buffer = 0; buffer < 3000; ++buffer) {  // a minute of 960-sample buffers
    const double truth = 5e9 + buffer * 960 * truePeriod;
    // Now and then one reading is far off (a late timing update).
    const double odd = buffer % 500 == 250 ? 6e6 : 0;
    const int64_t got = clock.FirstSample(static_cast<int64_t>(truth + jitter(random) + odd), 960);
    if (buffer > 200) worst = std::max(worst, std::fabs(got - truth));
  }
  EXPECT_LT(worst, 0.12e6);
  // A restarted stream is a jump that every reading agrees on: taken.
  for (int i = 0; i < 3; ++i) clock.FirstSample(9'000'000'000 + i * 20'000'000, 960);
  EXPECT_EQ(clock.FirstSample(9'060'000'000, 960), 9'060'000'000);
}

// The tone rendered ahead, as an output's writer drives it: out holds what
// the server has queued, rendered again from wherever the tone goes back to.
class Ahead : public testing::Test {
 protected:
  void RenderTo(int64_t end) {
    if (out.size() < static_cast<size_t>(end)) out.resize(static_cast<size_t>(end));
    while (tone.Written() < end) {
      const auto n = static_cast<size_t>(std::min<int64_t>(256, end - tone.Written()));
      tone.Render(out.data() + tone.Written(), n, SampleNs(static_cast<size_t>(tone.Written())));
    }
  }
  // What a writer does with new commands when the first sample it may
  // still change is earliest.
  void Apply(int64_t earliest) {
    const int64_t redo = tone.Redo();
    if (redo != ToneAhead::kNever)
      tone.GoBack(static_cast<int64_t>(std::ceil(redo * kRate / 1e9)), earliest);
    tone.Take();
  }
  // The tones heard: sound between stretches of 10 silent samples or more.
  std::vector<std::pair<size_t, size_t>> Tones() const {
    std::vector<std::pair<size_t, size_t>> tones;
    size_t silent = 10;
    for (size_t i = 0; i < out.size(); ++i) {
      if (out[i] != 0.0f) {
        if (silent >= 10) tones.push_back({i - 1, i});
        tones.back().second = i + 1;
        silent = 0;
      } else {
        ++silent;
      }
    }
    return tones;
  }
  float SteepestStep() const {
    float step = 0;
    for (size_t i = 1; i < out.size(); ++i) step = std::max(step, std::fabs(out[i] - out[i - 1]));
    return step;
  }
  static constexpr float kSineStep = 0.5f * 2 * static_cast<float>(M_PI) * 600 / 48000;
  ToneAhead tone{kRate};
  std::vector<float> out;
};

TEST_F(Ahead, PlannedEdgesStartOnTheSampleHeardWhenTheKeyMoves) {
  tone.Plan(true, SampleNs(480) + 300);  // between samples: on the next one
  tone.Plan(false, SampleNs(2880));
  tone.Through(SampleNs(2880));
  Apply(0);
  RenderTo(9600);
  const auto tones = Tones();
  ASSERT_EQ(tones.size(), 1u);
  EXPECT_EQ(tones[0].first, 481u);
  EXPECT_EQ(tones[0].second, 2880u + 239u);  // the falling edge: silent on its 240th sample
  EXPECT_EQ(tone.KnownThrough(), SampleNs(2880));
}

// A late wake moves the plan (Shift): what was not yet heard moves with the
// run; what was heard stays, and is not heard a second time.
struct ShiftCase {
  int64_t earliestMs;                            // the first moment the writer may still change
  std::vector<std::pair<size_t, size_t>> tones;  // ms: rising edge, end of the falling one
};
class AheadShift : public Ahead, public testing::WithParamInterface<ShiftCase> {};

TEST_P(AheadShift, TheToneMovesWithTheRunAndIsNeverHeardTwice) {
  for (int64_t ms : {10, 60, 110, 160}) tone.Plan(ms == 10 || ms == 110, ms * 1'000'000);
  tone.Through(160'000'000);
  Apply(0);
  RenderTo(48 * 200);  // 200 ms queued ahead
  // The key-up planned for 60 ms came 30 ms late: everything from it moves.
  tone.Shift(60'000'000, 30'000'000);
  Apply(48 * GetParam().earliestMs);
  RenderTo(48 * 250);
  std::vector<std::pair<size_t, size_t>> heard;
  for (auto [from, to] : Tones()) heard.push_back({(from + 24) / 48, (to + 24) / 48});
  EXPECT_EQ(heard, GetParam().tones);
  EXPECT_LE(SteepestStep(), kSineStep * 1.05f);  // no click where it was rendered again
}

INSTANTIATE_TEST_SUITE_P(
    Heard, AheadShift,
    testing::Values(ShiftCase{50, {{10, 95}, {140, 195}}},     // the key-up not heard yet: moved
                    ShiftCase{70, {{10, 65}, {140, 195}}},     // heard already: stays
                    ShiftCase{120, {{10, 65}, {110, 195}}}));  // the next tone began: held on

TEST_F(Ahead, AStopFadesFromTheFirstSampleItMayChangeAndDropsWhatWasPlanned) {
  for (int64_t ms : {10, 60, 110, 160}) tone.Plan(ms == 10 || ms == 110, ms * 1'000'000);
  tone.Through(160'000'000);
  Apply(0);
  RenderTo(48 * 200);
  tone.Now(false, 30'000'000);  // Esc at 30 ms; the writer may change from 31 ms on
  Apply(48 * 31);
  RenderTo(48 * 250);
  const auto tones = Tones();
  ASSERT_EQ(tones.size(), 1u);
  EXPECT_EQ(tones[0].second, 48u * 31 + 239);
  EXPECT_LE(SteepestStep(), kSineStep * 1.05f);
  EXPECT_EQ(tone.LateEdges(), 0u);  // a stop is late by nature, not counted
}

TEST(WriteWav, MonoSixteenBitPcmAndNoFileOnFailure) {
  test::TempDir dir;
  ASSERT_TRUE(WriteWav(dir.File("out.wav"), {0, 1, -1, 32767}, 22050).ok());
  const std::string wav = test::ReadFile(dir.File("out.wav"));
  ASSERT_EQ(wav.size(), 44u + 8u);
  auto u16 = [&](size_t at) { return (uint8_t)wav[at] | ((uint8_t)wav[at + 1] << 8); };
  EXPECT_EQ(u16(4), 44);  // the size after the first 8 bytes
  EXPECT_EQ(u16(22), 1);  // mono
  EXPECT_EQ(u16(48), 0xFFFF);
  EXPECT_TRUE(WriteWav("/nonexistent-dir/out.wav", {0}, 22050).failed());
  // Rendered piece by piece, the same samples; refused before 4 GiB, nothing written.
  const std::vector<KeyElement> e{{true, 3}, {false, 1}};
  ASSERT_TRUE(WriteWav(dir.File("streamed.wav"), e, 10.0, 600).ok());
  EXPECT_EQ(test::ReadFile(dir.File("streamed.wav")).substr(44).size(),
            RenderElements(e, 10.0, 600).size() * 2);
  EXPECT_EQ(WriteWav(dir.File("huge.wav"), {{true, 2'000'000'000}}, 1.0, 600).error(), EFBIG);
  EXPECT_FALSE(test::Exists(dir.File("huge.wav")));
}

// The PC speaker through its device seam: a pipe stands in for its input
// device.
// The tones written to the speaker since the last call (0: silent).
std::vector<int> Tones(int fd) {
  std::vector<int> out;
  input_event ev{};
  while (::read(fd, &ev, sizeof ev) == static_cast<ssize_t>(sizeof ev))
    if (ev.type == EV_SND && ev.code == SND_TONE) out.push_back(ev.value);
  return out;
}

TEST(PcSpeakerSidetone, SoundsThePitchWhileTheKeyIsDownAndIsSilencedOnEveryWayOut) {
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
  {
    auto speaker = PcSpeakerSidetone::Adopt(fds[1], "/dev/input/event9");
    EXPECT_EQ(speaker->Status().output, "PC speaker (/dev/input/event9)");
    speaker->SetPitch(700);
    speaker->SetKey(true, 0);
    speaker->SetPitch(750);  // heard at once while the key is down
    speaker->SetKey(false, 0);
    speaker->SetPitch(800);  // silent: nothing to change
    EXPECT_EQ(Tones(fds[0]), (std::vector<int>{700, 750, 0}));
    speaker->SetKey(true, 0);
    emergency::RaiseAll();  // a crash or a signal while the tone sounds
    EXPECT_EQ(Tones(fds[0]), (std::vector<int>{800, 0}));
  }
  EXPECT_EQ(Tones(fds[0]), std::vector<int>{0});  // and when it is closed
  ::close(fds[0]);
}

}  // namespace
}  // namespace orvex::engine
