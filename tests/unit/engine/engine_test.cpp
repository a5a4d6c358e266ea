#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

#include "engine/keyer_engine.h"
#include "support/engine_recorder.h"

namespace orvex::engine {
namespace {

using namespace std::chrono_literals;
using Names = std::vector<std::string>;
using test::Recorder;

void WaitForPendingZero(KeyerEngine& engine) {
  for (int i = 0; i < 10000 && engine.Pending() > 0; ++i) std::this_thread::sleep_for(2ms);
}

class Engine : public ::testing::Test {
 protected:
  void Open(int port = 1, int unitMs = 5) {
    ASSERT_TRUE(engine.Open(port).ok());
    if (port != 0) engine.SetKeyLine(true);
    engine.SetUnit(unitMs);
  }
  std::shared_ptr<Recorder> line = std::make_shared<Recorder>();
  std::shared_ptr<Recorder> tone = std::make_shared<Recorder>();
  KeyerEngine engine{test::Recording(line, tone)};
};

TEST_F(Engine, ElementsReturnAtOnceAndPendingFallsAsTheyPlay) {
  Open(1, 20);
  EXPECT_EQ(line->Names(), Names{"all up"});  // raised as soon as it opens
  for (int i = 0; i < 4; ++i) engine.Element(i % 2 == 0, 2);
  EXPECT_EQ(engine.Pending(), 4);
  WaitForPendingZero(engine);
  EXPECT_TRUE(engine.Active());  // until IDLE
  engine.Idle();
  EXPECT_FALSE(engine.Active());
  engine.Close();
  EXPECT_EQ(line->Names().back(), "closed");
}

TEST_F(Engine, AbortRaisesTheKeyBeforeItReturnsAndNothingIsKeyedAfter) {
  Open(1, 100);
  engine.SetSidetone(SidetoneDevice::SoundCard);
  engine.Element(true, 30);  // a three-second key-down
  for (int i = 0; i < 500 && line->Names().back() != "key down"; ++i)
    std::this_thread::sleep_for(1ms);
  ASSERT_EQ(line->Names().back(), "key down");
  engine.Abort();
  const auto names = line->Names();
  EXPECT_EQ(names.back(), "all up");
  EXPECT_EQ(tone->Names().back(), "tone4 off");
  EXPECT_EQ(engine.Pending(), 0);
  EXPECT_FALSE(engine.Active());
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(line->Names(), names);
}

TEST_F(Engine, PttGoesOnBeforeTheKeyAndOffOnIdleButNeverUnderAKeyedLine) {
  Open();
  engine.Element(true, 1);
  WaitForPendingZero(engine);
  std::this_thread::sleep_for(5ms);
  EXPECT_EQ(line->Names(), (Names{"all up", "ptt on", "key down", "key up"}));
  engine.Idle();
  EXPECT_EQ(line->Names().back(), "ptt off");
  line->Clear();
  engine.Element(true, 200);
  for (int i = 0; i < 500 && line->Names().size() < 2; ++i) std::this_thread::sleep_for(1ms);
  engine.Idle();  // elements still pending: PTT stays
  EXPECT_EQ(line->Names(), (Names{"ptt on", "key down"}));
  EXPECT_TRUE(engine.Active());
  engine.Close();
  EXPECT_EQ(line->Names().back(), "closed");
}

TEST_F(Engine, SidetoneOnlyKeysNoPortLine) {
  Open(0);
  engine.SetSidetone(SidetoneDevice::SoundCard);
  engine.SetTone(700);
  engine.Element(true, 1);
  WaitForPendingZero(engine);
  std::this_thread::sleep_for(5ms);
  EXPECT_EQ(line->Names(), Names{"all up"});
  EXPECT_EQ(tone->Names(), (Names{"pitch 600", "tone4 off", "pitch 700", "tone4 on", "tone4 off"}));
}

TEST(EngineLine, ALineThatFailsWhileKeyingStopsEverythingAndSaysSo) {
  auto line = std::make_shared<Recorder>();
  EngineOutputs outputs = test::Recording(line, line);
  outputs.openKeyLine = [line](int, OpenResult*) -> std::unique_ptr<KeyLine> {
    auto failing = std::make_unique<test::RecordingLine>(line);
    failing->failAfter = 3;  // PTT, the first key-down and key-up work
    return failing;
  };
  KeyerEngine engine(outputs);
  ASSERT_TRUE(engine.Open(1).ok());
  engine.SetKeyLine(true);
  engine.SetUnit(5);
  for (int i = 0; i < 10; ++i) engine.Element(i % 2 == 0, 1);
  for (int i = 0; i < 500 && engine.LineError() == 0; ++i) std::this_thread::sleep_for(2ms);
  EXPECT_EQ(engine.LineError(), EIO);
  EXPECT_EQ(engine.Pending(), 0);
  EXPECT_FALSE(engine.Active());
  EXPECT_EQ(line->Names().back(), "all up");  // what can still be raised
  engine.Element(true, 1);                    // nothing more until it opens again
  EXPECT_EQ(engine.Pending(), 0);
  ASSERT_TRUE(engine.Open(1).ok());
  EXPECT_EQ(engine.LineError(), 0);
}

TEST(EngineOpen, AFailedOpenReportsItsStatusAndQueuesNothing) {
  auto line = std::make_shared<Recorder>();
  KeyerEngine engine(test::Recording(line, line, {OpenStatus::InUse, EBUSY}));
  EXPECT_EQ(engine.Open(3).status, OpenStatus::InUse);
  EXPECT_FALSE(engine.IsOpen());
  engine.Element(true, 1);
  EXPECT_EQ(engine.Pending(), 0);
}

}  // namespace
}  // namespace orvex::engine
