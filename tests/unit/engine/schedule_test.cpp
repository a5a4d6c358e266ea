// The timing thread's schedule on a clock that moves only when told, so a
// stall lands exactly where a test puts it: a stall delays what follows, it
// never shortens or skips an element; PTT lead and tail; tune.
#include <gtest/gtest.h>

#include <map>

#include "engine/keyer_engine.h"
#include "support/engine_recorder.h"

namespace orvex::engine {
namespace {

constexpr int64_t kMs = 1'000'000;

class StallingClock : public EngineClock {
 public:
  int64_t Now() override { return now; }
  // Every wait ends at its deadline, or later by the stall set for it.
  void WaitUntil(int64_t deadline, const std::atomic<uint32_t>&, uint32_t) override {
    now = std::max(now, deadline) + stalls[waits++];
  }
  bool Manual() const override { return true; }
  int64_t now = 1000 * kMs;
  int waits = 0;
  std::map<int, int64_t> stalls;  // by the wait's number, from 0
};

class Schedule : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(engine.Open(1).ok());
    engine.SetKeyLine(true);
    engine.SetUnit(10);
    line->Clear();
  }
  // Queues down/up pairs of the given units and plays them.
  void Play(std::initializer_list<std::pair<int, int>> pairs) {
    for (auto [down, up] : pairs) {
      engine.Element(true, down);
      engine.Element(false, up);
    }
    engine.RunQueued();
  }
  // Each change's time after the first key-down, in ms, and its name.
  std::vector<std::pair<int64_t, std::string>> Changes() {
    std::vector<std::pair<int64_t, std::string>> out;
    int64_t start = -1;
    for (const auto& c : line->Changes()) {
      if (start < 0 && c.what == "key down") start = c.ns;
      if (start >= 0) out.push_back({(c.ns - start) / kMs, c.what});
    }
    return out;
  }
  using Seen = std::vector<std::pair<int64_t, std::string>>;
  StallingClock clock;
  std::shared_ptr<test::Recorder> line = std::make_shared<test::Recorder>(&clock);
  KeyerEngine engine{test::Recording(line, line), nullptr, &clock};
};

TEST_F(Schedule, OnTimeEveryChangeLiesOnThePlannedGrid) {
  Play({{1, 1}, {3, 1}, {1, 3}});
  EXPECT_EQ(Changes(), (Seen{{0, "key down"},
                             {10, "key up"},
                             {20, "key down"},
                             {50, "key up"},
                             {60, "key down"},
                             {70, "key up"}}));
}

TEST_F(Schedule, AStallInAGapLengthensTheGapAndShiftsEverythingAfter) {
  clock.stalls[1] = 25 * kMs;  // the end of the first gap comes 25 ms late
  Play({{1, 1}, {3, 1}, {1, 1}});
  EXPECT_EQ(Changes(), (Seen{{0, "key down"},
                             {10, "key up"},
                             {45, "key down"},
                             {75, "key up"},
                             {85, "key down"},
                             {95, "key up"}}));
}

TEST_F(Schedule, AStallInAKeyDownLengthensItAndNothingIsCutOrSkipped) {
  clock.stalls[0] = 25 * kMs;  // the first key-down ends late
  clock.stalls[2] = 40 * kMs;  // and the dash after it
  clock.stalls[3] = 1 * kMs;
  Play({{1, 1}, {3, 1}, {1, 1}});
  EXPECT_EQ(Changes(), (Seen{{0, "key down"},
                             {35, "key up"},
                             {45, "key down"},
                             {115, "key up"},
                             {126, "key down"},
                             {136, "key up"}}));
}

TEST_F(Schedule, PttLeadsTheFirstElementAndHoldsItsTailAcrossSlowTyping) {
  engine.SetPttTiming(50, 300);
  const int64_t t0 = clock.now;
  engine.Element(true, 1);
  engine.RunQueued();
  engine.Idle();
  clock.now += 100 * kMs;  // the next character, typed slowly, comes within the tail
  engine.Element(true, 1);
  engine.RunQueued();
  engine.Idle();
  engine.RunQueued();
  const auto c = line->Changes();
  ASSERT_EQ(c.size(), 6u);
  EXPECT_EQ(c[0].what + ", " + c[1].what + ", " + c[3].what + ", " + c[5].what,
            "ptt on, key down, key down, ptt off");
  EXPECT_EQ((c[1].ns - t0) / kMs, 50);        // the lead
  EXPECT_EQ(c[3].ns - c[2].ns, 100 * kMs);    // no second lead within the tail
  EXPECT_EQ((c[5].ns - c[4].ns) / kMs, 300);  // the tail after the last element
  engine.Element(true, 1);
  engine.Abort();  // Esc raises PTT at once, tail or not
  EXPECT_EQ(line->Names().back(), "all up");
}

TEST_F(Schedule, TuneKeysDownForItsOwnLength) {
  engine.Tune(2500);
  engine.RunQueued();
  EXPECT_EQ(Changes(), (Seen{{0, "key down"}, {2500, "key up"}}));
}

}  // namespace
}  // namespace orvex::engine
