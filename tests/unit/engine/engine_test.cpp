// The keying engine on a clock that moves only when told, so a stall or a
// call from another thread lands exactly where a test puts it: elements
// play on a planned grid, a stall delays what follows and never shortens
// or skips an element, Abort raises the key before it returns, PTT leads
// and trails, a failing line stops everything. Then the serial and
// parallel key lines under it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/ppdev.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/lines/device_names.h"
#include "engine/lines/open_status.h"
#include "engine/lines/parallel_key_line.h"
#include "engine/lines/serial_key_line.h"
#include "engine/timing/keyer_engine.h"

namespace orvex::engine {
namespace {

constexpr int64_t kMs = 1'000'000;
using Names = std::vector<std::string>;

class StallingClock : public EngineClock {
 public:
  int64_t Now() override { return now; }
  // Every wait ends at its deadline, or later by the stall set for it;
  // during wait n, duringWait[n] runs first (another thread's call).
  void WaitUntil(int64_t deadline, const std::atomic<uint32_t>& wake, uint32_t seen) override {
    const int n = waits++;
    if (const auto call = duringWait.find(n); call != duringWait.end()) call->second();
    if (wake.load() != seen) return;  // woken: the engine looks again
    now = std::max(now, deadline) + stalls[n];
  }
  bool Manual() const override { return true; }
  int64_t now = 1000 * kMs;
  int waits = 0;
  std::map<int, int64_t> stalls;  // by the wait's number, from 0
  std::map<int, std::function<void()>> duringWait;
};

// A key line and a sidetone that record each change with the clock's time.
struct Change {
  int64_t ns;
  std::string what;
};

class Recorder {
 public:
  explicit Recorder(EngineClock* clock) : clock_(clock) {}
  void Add(const std::string& what) { changes_.push_back({clock_->Now(), what}); }
  const std::vector<Change>& Changes() const { return changes_; }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const Change& c : changes_) out.push_back(c.what);
    return out;
  }
  void Clear() { changes_.clear(); }

 private:
  EngineClock* clock_;
  std::vector<Change> changes_;
};

class RecordingLine : public KeyLine {
 public:
  explicit RecordingLine(std::shared_ptr<Recorder> r) : r_(std::move(r)) {}
  ~RecordingLine() override { r_->Add("closed"); }
  Result SetKey(bool down) override { return Switch(down ? "key down" : "key up"); }
  Result SetPtt(bool on) override { return Switch(on ? "ptt on" : "ptt off"); }
  void AllUp() noexcept override { r_->Add("all up"); }
  int failAfter = -1;  // switches that work before the line fails with EIO

 private:
  Result Switch(const std::string& what) {
    if (failAfter == 0) return Result::FromErrno(Fault::Write, EIO);
    if (failAfter > 0) --failAfter;
    r_->Add(what);
    return {};
  }
  std::shared_ptr<Recorder> r_;
};

class RecordingSidetone : public Sidetone {
 public:
  RecordingSidetone(std::shared_ptr<Recorder> r, int device) : r_(std::move(r)), device_(device) {}
  void SetKey(bool down, int64_t) override {
    r_->Add("tone" + std::to_string(device_) + (down ? " on" : " off"));
  }
  void SetPitch(int hz) override { r_->Add("pitch " + std::to_string(hz)); }
  SidetoneStatus Status() const override { return {"tone" + std::to_string(device_), 0, ""}; }

 private:
  std::shared_ptr<Recorder> r_;
  int device_;
};

EngineOutputs Recording(std::shared_ptr<Recorder> line, std::shared_ptr<Recorder> tone) {
  return {[line](int, LineChoice, std::unique_ptr<KeyLine>* opened) {
            *opened = std::make_unique<RecordingLine>(line);
            return Result();
          },
          [tone](SidetoneDevice device) -> std::unique_ptr<Sidetone> {
            return std::make_unique<RecordingSidetone>(tone, static_cast<int>(device));
          }};
}

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(engine.Open(1).ok());
    engine.SetKeyLine(true);
    engine.SetUnitNs(int64_t{10} * 1'000'000);
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
  // Each key-down as its start after the first one and its length, in ms:
  // "0+10 20+30".
  std::string Keying() {
    std::string out;
    int64_t first = -1, down = 0;
    for (const auto& c : line->Changes()) {
      if (c.what == "key down") {
        if (first < 0) first = c.ns;
        down = c.ns;
      } else if (c.what == "key up" && first >= 0) {
        if (!out.empty()) out += ' ';
        out += std::to_string((down - first) / kMs);
        out += '+';
        out += std::to_string((c.ns - down) / kMs);
      }
    }
    return out;
  }
  StallingClock clock;
  std::shared_ptr<Recorder> line = std::make_shared<Recorder>(&clock);
  std::shared_ptr<Recorder> tone = std::make_shared<Recorder>(&clock);
  KeyerEngine engine{Recording(line, tone), nullptr, &clock};
};

TEST_F(Engine, ElementsQueueAtOnceAndThePortStaysActiveThroughItsTail) {
  engine.SetPttTiming(0, 300);
  for (int i = 0; i < 4; ++i) engine.Element(i % 2 == 0, 2);
  EXPECT_EQ(engine.Pending(), 4);
  engine.RunQueued();
  EXPECT_EQ(engine.Ended(), 4u);
  EXPECT_TRUE(engine.Active());  // PTT through its tail
  // The tail counts from the last key-up, 20 ms before the last gap ended.
  EXPECT_EQ(engine.NextChangeNs(), clock.now + 280 * kMs);
  engine.Idle();  // nothing more coming: the tail still runs
  EXPECT_TRUE(engine.Active());
  clock.now += 280 * kMs;
  engine.RunQueued();
  EXPECT_FALSE(engine.Active());
}

// When what follows the first dot is queued: with it, or as a paddle hands
// strokes over (no PTT tail): in the gap, or after the run ended because
// its thread was held.
enum class Rest { WithIt, InTheGap, AfterTheRun };

struct Stalls {
  const char* name;
  std::map<int, int64_t> stalls;  // wait number: how late it ends
  const char* keyed;
  uint64_t late;  // key changes the engine counts as late
  Rest rest = Rest::WithIt;
};

class EngineStalls : public Engine, public ::testing::WithParamInterface<Stalls> {};

// A dot, a dash and a dot at 10 ms a unit: on time every change lies on
// the planned grid; a late wake lengthens the element or gap it ends, and
// everything after it moves by as much, and each late change is counted
// (so a test may excuse what the machine made late), also when PTT fell in
// the gap and rises late with the element, and when a hand's element comes
// after it was due.
TEST_P(EngineStalls, AStallDelaysWhatFollowsAndNeverCutsOrSkips) {
  clock.stalls = GetParam().stalls;
  const int64_t t0 = clock.now;
  auto hand = [&](int64_t due) {
    engine.HandElement(true, 30 * kMs, due);
    engine.HandElement(false, 10 * kMs);
    engine.HandElement(true, 10 * kMs);
    engine.HandElement(false, 10 * kMs);
  };
  if (GetParam().rest != Rest::WithIt) engine.SetPttTiming(0, 0);
  switch (GetParam().rest) {
    case Rest::WithIt:
      Play({{1, 1}, {3, 1}, {1, 1}});
      break;
    case Rest::InTheGap:
      clock.duringWait[1] = [&] { hand(t0 + 20 * kMs); };
      Play({{1, 1}});
      break;
    case Rest::AfterTheRun:
      Play({{1, 1}});
      clock.now = t0 + 45 * kMs;
      hand(t0 + 20 * kMs);
      engine.RunQueued();
  }
  EXPECT_EQ(Keying(), GetParam().keyed);
  EXPECT_EQ(engine.SidetoneState().lateKeys, GetParam().late);
}

INSTANTIATE_TEST_SUITE_P(
    Grid, EngineStalls,
    ::testing::Values(
        Stalls{"OnTime", {}, "0+10 20+30 60+10", 0},
        Stalls{"InAGap", {{1, 25 * kMs}}, "0+10 45+30 85+10", 1},
        Stalls{"InAGapWherePttFell", {{2, 25 * kMs}}, "0+10 45+30 85+10", 1, Rest::InTheGap},
        Stalls{"HandedOverAfterItWasDue", {}, "0+10 45+30 85+10", 1, Rest::AfterTheRun},
        Stalls{"InKeyDowns", {{0, 25 * kMs}, {2, 40 * kMs}, {3, 1 * kMs}}, "0+35 45+70 126+10", 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Engine, AbortRaisesTheKeyBeforeItReturnsAndNothingIsKeyedAfter) {
  engine.SetSidetone(SidetoneDevice::SoundCard);
  engine.Element(true, 300);  // a three-second key-down
  engine.Element(false, 1);
  engine.Element(true, 1);
  Names atAbort;
  clock.duringWait[0] = [&] {  // the operator's Esc, half way through it
    engine.Abort();
    atAbort = line->Names();
  };
  engine.RunQueued();
  EXPECT_EQ(atAbort, (Names{"ptt on", "key down", "all up"}));
  EXPECT_EQ(tone->Names().back(), "tone4 off");
  EXPECT_EQ(engine.Pending(), 0);
  EXPECT_FALSE(engine.Active());
  EXPECT_EQ(line->Names(), atAbort);  // the rest of the queue never keyed
}

// The operator's hand touches while text keys: the text goes at once, PTT
// stays up for the hand, a straight key holds the key as long as the hand
// does, and text that raced the touch is never keyed after it; once the
// hand lets go, text keys again.
TEST_F(Engine, TheHandBreaksInHoldsTheKeyAndKeepsOtherTextOut) {
  engine.SetPttTiming(0, 300);
  engine.Element(true, 30);
  engine.Element(false, 1);
  engine.Element(true, 30);
  bool brokeIn = false;
  clock.duringWait[0] = [&] {  // 10 ms into the first element
    clock.now += 10 * kMs;
    brokeIn = engine.SetHand(true);
    engine.Element(true, 1);  // the text's pump, a moment late
    engine.HandKey(true);
  };
  clock.duringWait[1] = [&] {  // the hand lets go 50 ms later
    clock.now += 50 * kMs;
    engine.HandKey(false);
  };
  engine.RunQueued();
  EXPECT_TRUE(brokeIn);
  EXPECT_EQ(Keying(), "0+10 10+50");
  EXPECT_EQ(line->Names(), (Names{"ptt on", "key down", "key up", "key down", "key up"}));
  EXPECT_FALSE(engine.SetHand(false));
  Play({{1, 1}});
  EXPECT_EQ(Keying(), "0+10 10+50 60+10");
}

TEST_F(Engine, PttLeadsTheFirstElementAndHoldsItsTailAcrossSlowTyping) {
  engine.SetPttTiming(50, 300);
  const int64_t t0 = clock.now;
  engine.Element(true, 1);
  engine.RunQueued();
  clock.now += 100 * kMs;  // the next character, typed slowly, comes within the tail
  engine.Element(true, 1);
  engine.RunQueued();
  // Nobody says the run is over (the window may be stuck in a box): the
  // keyer drops PTT when the tail has passed.
  clock.now += 300 * kMs;
  engine.RunQueued();
  const auto c = line->Changes();
  ASSERT_EQ(line->Names(),
            (Names{"ptt on", "key down", "key up", "key down", "key up", "ptt off"}));
  EXPECT_EQ((c[1].ns - t0) / kMs, 50);        // the lead
  EXPECT_EQ(c[3].ns - c[2].ns, 100 * kMs);    // no second lead within the tail
  EXPECT_EQ((c[5].ns - c[4].ns) / kMs, 300);  // the tail after the last element
  clock.now += 1000 * kMs;                    // after a pause longer than the tail: the lead again
  const int64_t t1 = clock.now;
  engine.Element(true, 1);
  engine.RunQueued();
  EXPECT_EQ(line->Names().at(6), "ptt on");
  EXPECT_EQ((line->Changes().at(7).ns - t1) / kMs, 50);
  engine.Element(true, 1);
  engine.Abort();  // Esc raises PTT at once, tail or not
  EXPECT_EQ(line->Names().back(), "all up");
}

TEST_F(Engine, IdleWhileElementsWaitKeepsPttUnderTheKeyedLine) {
  engine.Element(true, 20);
  clock.duringWait[0] = [&] { engine.Idle(); };  // the tick's idle check, mid key-down
  engine.RunQueued();
  EXPECT_EQ(line->Names(), (Names{"ptt on", "key down", "key up", "ptt off"}));
}

TEST(EngineLine, ALineThatFailsWhileKeyingStopsEverythingAndSaysSo) {
  StallingClock clock;
  auto line = std::make_shared<Recorder>(&clock);
  EngineOutputs outputs = Recording(line, line);
  outputs.openKeyLine = [line](int, LineChoice, std::unique_ptr<KeyLine>* opened) {
    auto failing = std::make_unique<RecordingLine>(line);
    failing->failAfter = 3;  // PTT, the first key-down and key-up work
    *opened = std::move(failing);
    return Result();
  };
  KeyerEngine engine(outputs, nullptr, &clock);
  ASSERT_TRUE(engine.Open(1).ok());
  engine.SetKeyLine(true);
  engine.SetUnitNs(int64_t{5} * 1'000'000);
  for (int i = 0; i < 10; ++i) engine.Element(i % 2 == 0, 1);
  engine.RunQueued();
  EXPECT_EQ(engine.LineError().error(), EIO);
  EXPECT_EQ(engine.Pending(), 0);
  EXPECT_FALSE(engine.Active());
  EXPECT_EQ(line->Names().back(), "all up");  // what can still be raised
  engine.Element(true, 1);                    // nothing more until it opens again
  EXPECT_EQ(engine.Pending(), 0);
}

// Serial and parallel key lines. Pseudo-terminals refuse modem-line ioctls,
// so the line logic runs over a real descriptor with a recording ioctl; the
// open status runs against real devices and files.
struct Call {
  unsigned long request;
  int value;  // modem bits or control byte
  bool operator==(const Call&) const = default;
};
std::vector<Call> g_calls;
long g_failRequest = -1;
unsigned char g_control = 0xF0;  // what PPRCONTROL reads

int FakeIoctl(int, unsigned long request, void* arg) {
  int value = 0;
  if (request == TIOCMBIS || request == TIOCMBIC) value = *static_cast<int*>(arg);
  if (request == PPWCONTROL) value = *static_cast<unsigned char*>(arg);
  if (request == PPRCONTROL) *static_cast<unsigned char*>(arg) = g_control;
  g_calls.push_back({request, value});
  if (static_cast<long>(request) == g_failRequest) {
    errno = EINVAL;
    return -1;
  }
  return 0;
}

class PortLines : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    g_failRequest = -1;
    ASSERT_EQ(openpty(&master_, &slave_, slave, nullptr, nullptr), 0);
  }
  void TearDown() override {
    close(master_);
    close(slave_);
  }
  int master_ = -1, slave_ = -1;
  char slave[128] = {};
};

TEST_F(PortLines, SerialLowersBothLinesOnOpenAndALineThatCannotBeLoweredIsNotOpened) {
  std::unique_ptr<KeyLine> line;
  ASSERT_TRUE(OpenSerialKeyLine(slave, &line, FakeIoctl).ok());
  EXPECT_EQ(g_calls,
            (std::vector<Call>{{TIOCMGET, 0}, {TIOCEXCL, 0}, {TIOCMBIC, TIOCM_DTR | TIOCM_RTS}}));
  line.reset();
  g_failRequest = TIOCMBIC;
  EXPECT_EQ(OpenSerialKeyLine(slave, &line, FakeIoctl).error(), EINVAL);
  EXPECT_EQ(g_calls.back().request, static_cast<unsigned long>(TIOCNXCL));  // nor left exclusive
}

// The station's wiring (DTR keys and RTS is PTT unless told otherwise):
// which line keys, which is PTT (none: nothing switched), and both lowered
// on the way out whatever is used.
TEST_F(PortLines, KeyAndPttOnTheLinesChosenAndBothLoweredOnClose) {
  // LineChoice, then the bits the key and PTT switch (0: none).
  for (auto [lines, key, ptt] :
       {std::tuple{LineChoice{}, TIOCM_DTR, TIOCM_RTS},
        {LineChoice{SerialLine::Rts, SerialLine::Dtr}, TIOCM_RTS, TIOCM_DTR},
        {LineChoice{SerialLine::Rts, SerialLine::None}, TIOCM_RTS, 0}}) {
    std::unique_ptr<KeyLine> line;
    ASSERT_TRUE(OpenSerialKeyLine(slave, &line, FakeIoctl, lines).ok());
    g_calls.clear();
    (void)line->SetPtt(true);
    (void)line->SetKey(true);
    (void)line->SetKey(false);
    line.reset();
    std::vector<Call> want;
    if (ptt != 0) want.push_back({TIOCMBIS, ptt});
    want.insert(want.end(), {{TIOCMBIS, key}, {TIOCMBIC, key}, {TIOCMBIC, TIOCM_DTR | TIOCM_RTS}});
    ASSERT_GE(g_calls.size(), want.size());
    EXPECT_EQ(std::vector<Call>(g_calls.begin(), g_calls.begin() + static_cast<long>(want.size())),
              want)
        << key;
  }
}

TEST_F(PortLines, APortHeldByAnotherProgramOrAnotherOrvexIsInUse) {
  const int other = open(slave, O_RDWR | O_NOCTTY);
  ASSERT_EQ(flock(other, LOCK_EX), 0);
  std::unique_ptr<KeyLine> line, second;
  EXPECT_EQ(OpenStatusOf(OpenSerialKeyLine(slave, &line, FakeIoctl)), OpenStatus::InUse);
  close(other);
  EXPECT_TRUE(OpenSerialKeyLine(slave, &line, FakeIoctl).ok());
  EXPECT_EQ(OpenStatusOf(OpenSerialKeyLine(slave, &second, FakeIoctl)), OpenStatus::InUse);
}

TEST_F(PortLines, MissingAndNonTerminalDevices) {
  std::unique_ptr<KeyLine> serial;
  std::unique_ptr<KeyLine> parallel;
  EXPECT_EQ(OpenStatusOf(OpenParallelKeyLine("/dev/orvex-no-such-port", &parallel)),
            OpenStatus::NotFound);
  // Anything but a port is refused before it is opened: a file, a pipe, a
  // console, a pseudo-terminal without modem lines.
  char file[] = "/tmp/orvex-port-XXXXXX";
  close(mkstemp(file));
  const std::string fifo = std::string(file) + ".fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& device :
       {std::string(file), fifo, std::string("/dev/tty"), std::string(slave)})
    EXPECT_EQ(StatusNumber(OpenSerialKeyLine(device, &serial)), ENOTTY) << device;
  EXPECT_EQ(StatusNumber(OpenParallelKeyLine(file, &parallel)), ENOTTY);
  unlink(file);
  unlink(fifo.c_str());
}

TEST_F(PortLines, ParallelPin17KeysPin16IsPttAndCloseReleases) {
  g_control = 0xF3;  // other bits set, the bidirectional bit among them
  std::unique_ptr<KeyLine> line;
  ASSERT_TRUE(OpenParallelKeyLine(slave, &line, FakeIoctl).ok());
  // Pin 17 low (its inverted bit set), pin 16 low, strobe and autofeed kept.
  EXPECT_EQ(g_calls,
            (std::vector<Call>{
                {PPGETMODE, 0}, {PPEXCL, 0}, {PPCLAIM, 0}, {PPRCONTROL, 0}, {PPWCONTROL, 0x0B}}));
  g_calls.clear();
  (void)line->SetPtt(true);
  (void)line->SetKey(true);
  line.reset();
  EXPECT_EQ(g_calls[0].value, 0x0F);  // pin 16 high: PTT
  EXPECT_EQ(g_calls[1].value, 0x07);  // pin 17 high: key down
  EXPECT_EQ(g_calls[2], (Call{PPWCONTROL, 0x0B}));
  EXPECT_EQ(g_calls.back().request, static_cast<unsigned long>(PPRELEASE));
  g_failRequest = PPCLAIM;
  EXPECT_EQ(OpenParallelKeyLine(slave, &line, FakeIoctl).error(), EINVAL);
}

}  // namespace
}  // namespace orvex::engine
