// A timing thread that wakes late must not stretch a key-down: the engine
// runs in a child that the test stops for a while in the middle of keying;
// afterwards every key-down is at most its planned length and the keying is
// back on its planned times.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "base/clock.h"
#include "engine/keyer_engine.h"

namespace orvex::engine {
namespace {

struct Record {
  int64_t ns;
  int down;
};

// Reports each key change into a pipe.
class PipeLine : public KeyLine {
 public:
  explicit PipeLine(int fd) : fd_(fd) {}
  int SetKey(bool down) override {
    const Record r{MonotonicNs(), down};
    [[maybe_unused]] ssize_t n = write(fd_, &r, sizeof r);
    return 0;
  }
  int SetPtt(bool) override { return 0; }
  void AllUp() noexcept override {}

 private:
  int fd_;
};

constexpr int kUnitMs = 20;
constexpr int kUnits = 5;   // each element 100 ms
constexpr int kPairs = 12;  // down, up, down, up...

TEST(LateWake, KeyDownsAreNeverStretchedAndTheScheduleHolds) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const int out = fds[1];
    KeyerEngine engine({[out](int, OpenResult*) -> std::unique_ptr<KeyLine> {
                          return std::make_unique<PipeLine>(out);
                        },
                        [](SidetoneDevice) -> std::unique_ptr<Sidetone> { return nullptr; }});
    engine.Open(1);
    engine.SetKeyLine(true);
    engine.SetUnit(kUnitMs);
    for (int i = 0; i < kPairs; ++i) {
      engine.Element(true, kUnits);
      engine.Element(false, kUnits);
    }
    while (engine.Pending() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    _exit(0);
  }
  close(fds[1]);
  std::vector<Record> records;
  Record r;
  bool stopped = false;
  while (read(fds[0], &r, sizeof r) == static_cast<ssize_t>(sizeof r)) {
    records.push_back(r);
    // Just after the third key-up, freeze the child for 230 ms: it misses
    // the end of that element and the whole next key-down, and thaws in the
    // middle of the key-up after it.
    if (!stopped && !r.down && records.size() == 6) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      kill(pid, SIGSTOP);
      std::this_thread::sleep_for(std::chrono::milliseconds(230));
      kill(pid, SIGCONT);
      stopped = true;
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_TRUE(stopped);
  ASSERT_GE(records.size(), 8u);

  const int64_t element = int64_t{kUnits} * kUnitMs * 1'000'000;
  const int64_t tolerance = 8'000'000;
  const int64_t origin = records[0].ns;
  for (size_t i = 0; i + 1 < records.size(); ++i) {
    if (!records[i].down) continue;
    EXPECT_LE(records[i + 1].ns - records[i].ns, element + tolerance) << "key-down " << i;
  }
  // Every change after the freeze lies on the planned grid of elements.
  for (size_t i = 6; i < records.size(); ++i) {
    const int64_t t = records[i].ns - origin;
    const int64_t slot = (t + element / 2) / element;
    EXPECT_NEAR(t, slot * element, tolerance) << "change " << i;
    EXPECT_EQ(records[i].down, slot % 2 == 0) << "change " << i;
  }
  // The last key-up is where the plan ends: nothing was pushed back.
  EXPECT_NEAR(records.back().ns - origin, (2 * kPairs - 1) * element, tolerance);
}

}  // namespace
}  // namespace orvex::engine
