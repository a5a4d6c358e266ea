// The last-resort path: a signal or a normal exit raises every registered
// line. A pipe stands in for the PC speaker device, so the child's "silence"
// event can be read back.
#include "engine/emergency.h"

#include <gtest/gtest.h>
#include <linux/input.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace orvex::engine {
namespace {

struct Outcome {
  bool silenced = false;
  int wstatus = 0;
};

// Runs body in a child whose speaker is a pipe; returns whether the child
// wrote the speaker's silence and how it ended.
template <typename Body>
Outcome RunChild(Body body) {
  int speaker[2], ready[2];
  if (pipe(speaker) != 0 || pipe(ready) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(speaker[0]);
    close(ready[0]);
    emergency::InstallHandlers();
    emergency::Register(speaker[1], emergency::Kind::Speaker);
    [[maybe_unused]] ssize_t n = write(ready[1], "r", 1);
    body();
    _exit(0);
  }
  close(speaker[1]);
  close(ready[1]);
  char c;
  [[maybe_unused]] ssize_t n = read(ready[0], &c, 1);
  Outcome out;
  input_event ev{};
  while (read(speaker[0], &ev, sizeof ev) == static_cast<ssize_t>(sizeof ev))
    if (ev.type == EV_SND && ev.code == SND_TONE && ev.value == 0) out.silenced = true;
  waitpid(pid, &out.wstatus, 0);
  close(speaker[0]);
  close(ready[0]);
  return out;
}

// Signals, fatal ones at random moments among them, are the end-to-end
// signals test's: it keys a real line through orvex-send.
TEST(Emergency, ANormalExitRaisesTheLines) {
  const Outcome out = RunChild([] { std::exit(3); });
  EXPECT_TRUE(out.silenced);
  ASSERT_TRUE(WIFEXITED(out.wstatus));
  EXPECT_EQ(WEXITSTATUS(out.wstatus), 3);
}

TEST(Emergency, AnUnregisteredLineIsLeftAlone) {
  const Outcome out = RunChild([] {
    for (int fd = 3; fd < 64; ++fd) emergency::Unregister(fd);
    std::exit(0);
  });
  EXPECT_FALSE(out.silenced);
}

}  // namespace
}  // namespace orvex::engine
