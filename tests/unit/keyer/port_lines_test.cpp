// Serial and parallel key lines. Pseudo-terminals refuse modem-line ioctls,
// so the line logic runs over a real descriptor with a recording ioctl; the
// open status mapping runs against real devices and files.
#include <fcntl.h>
#include <linux/ppdev.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "keyer/device_names.h"
#include "keyer/parallel_key_line.h"
#include "keyer/serial_key_line.h"

namespace orvex::keyer {
namespace {

struct Call {
  unsigned long request;
  int value;  // modem bits or control byte
};
std::vector<Call> g_calls;
int g_failRequest = -1;
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
    ASSERT_EQ(openpty(&master_, &slave_, slaveName_, nullptr, nullptr), 0);
  }
  void TearDown() override {
    close(master_);
    close(slave_);
  }
  int master_ = -1, slave_ = -1;
  char slaveName_[128] = {};
};

TEST_F(PortLines, SerialOpenLowersDtrAndRtsBeforeAnythingElse) {
  int status = -1;
  auto line = SerialKeyLine::Open(slaveName_, &status, FakeIoctl);
  ASSERT_TRUE(line);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(g_calls.size(), 2u);
  EXPECT_EQ(g_calls[0].request, static_cast<unsigned long>(TIOCEXCL));
  EXPECT_EQ(g_calls[1].request, static_cast<unsigned long>(TIOCMBIC));
  EXPECT_EQ(g_calls[1].value, TIOCM_DTR | TIOCM_RTS);
}

TEST_F(PortLines, SerialDtrKeysAndRtsIsPttAndCloseRaisesBoth) {
  int status = -1;
  auto line = SerialKeyLine::Open(slaveName_, &status, FakeIoctl);
  ASSERT_TRUE(line);
  g_calls.clear();
  line->SetPtt(true);
  line->SetKey(true);
  line->SetKey(false);
  line.reset();
  ASSERT_GE(g_calls.size(), 4u);
  EXPECT_EQ(g_calls[0].request, static_cast<unsigned long>(TIOCMBIS));
  EXPECT_EQ(g_calls[0].value, TIOCM_RTS);
  EXPECT_EQ(g_calls[1].request, static_cast<unsigned long>(TIOCMBIS));
  EXPECT_EQ(g_calls[1].value, TIOCM_DTR);
  EXPECT_EQ(g_calls[2].request, static_cast<unsigned long>(TIOCMBIC));
  EXPECT_EQ(g_calls[2].value, TIOCM_DTR);
  EXPECT_EQ(g_calls[3].request, static_cast<unsigned long>(TIOCMBIC));
  EXPECT_EQ(g_calls[3].value, TIOCM_DTR | TIOCM_RTS);
}

TEST_F(PortLines, SerialOpenFailsWhenTheLinesCannotBeLowered) {
  g_failRequest = TIOCMBIC;
  int status = -1;
  EXPECT_FALSE(SerialKeyLine::Open(slaveName_, &status, FakeIoctl));
  EXPECT_EQ(status, EINVAL);
}

TEST_F(PortLines, APortHeldByAnotherProgramIsInUse) {
  const int other = open(slaveName_, O_RDWR | O_NOCTTY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX), 0);
  int status = -1;
  EXPECT_FALSE(SerialKeyLine::Open(slaveName_, &status, FakeIoctl));
  EXPECT_EQ(status, 5);
  close(other);
  auto line = SerialKeyLine::Open(slaveName_, &status, FakeIoctl);
  EXPECT_TRUE(line);
  // And while Orvex holds it, a second Orvex is kept out.
  int second = -1;
  EXPECT_FALSE(SerialKeyLine::Open(slaveName_, &second, FakeIoctl));
  EXPECT_EQ(second, 5);
}

TEST_F(PortLines, OpenStatusForMissingAndForbiddenDevices) {
  int status = -1;
  EXPECT_FALSE(SerialKeyLine::Open("/dev/orvex-no-such-port", &status));
  EXPECT_EQ(status, 2);
  EXPECT_FALSE(ParallelKeyLine::Open("/dev/orvex-no-such-port", &status));
  EXPECT_EQ(status, 2);

  // A device the user may not open: as root, check it as an ordinary user.
  char path[] = "/tmp/orvex-port-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  chmod(path, 0600);
  const pid_t pid = fork();
  if (pid == 0) {
    if (geteuid() == 0 && setuid(65534) != 0) _exit(99);
    if (geteuid() != 0) chmod(path, 0);
    int s = -1;
    SerialKeyLine::Open(path, &s);
    _exit(s);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  unlink(path);
  ASSERT_TRUE(WIFEXITED(wstatus));
  EXPECT_EQ(WEXITSTATUS(wstatus), 12);
}

TEST_F(PortLines, ANonTerminalGivesItsErrno) {
  char path[] = "/tmp/orvex-port-XXXXXX";
  close(mkstemp(path));
  int status = -1;
  EXPECT_FALSE(SerialKeyLine::Open(path, &status));
  unlink(path);
  EXPECT_EQ(status, ENOTTY);
}

TEST_F(PortLines, ParallelPin17KeysPin16IsPttAndCloseReleases) {
  g_control = 0xF3;  // other bits set, bidirectional bit among them
  int status = -1;
  auto line = ParallelKeyLine::Open(slaveName_, &status, FakeIoctl);
  ASSERT_TRUE(line);
  ASSERT_EQ(g_calls.size(), 4u);
  EXPECT_EQ(g_calls[0].request, static_cast<unsigned long>(PPEXCL));
  EXPECT_EQ(g_calls[1].request, static_cast<unsigned long>(PPCLAIM));
  EXPECT_EQ(g_calls[2].request, static_cast<unsigned long>(PPRCONTROL));
  EXPECT_EQ(g_calls[3].request, static_cast<unsigned long>(PPWCONTROL));
  // Pin 17 low (its inverted bit set), pin 16 low, strobe/autofeed kept.
  EXPECT_EQ(g_calls[3].value, 0x0B);
  g_calls.clear();
  line->SetPtt(true);
  line->SetKey(true);
  line.reset();
  EXPECT_EQ(g_calls[0].value, 0x0F);  // pin 16 high: PTT
  EXPECT_EQ(g_calls[1].value, 0x07);  // pin 17 high: key down
  EXPECT_EQ(g_calls[2].request, static_cast<unsigned long>(PPWCONTROL));
  EXPECT_EQ(g_calls[2].value, 0x0B);  // both up again
  EXPECT_EQ(g_calls.back().request, static_cast<unsigned long>(PPRELEASE));
}

TEST_F(PortLines, ParallelClaimFailureIsReported) {
  g_failRequest = PPCLAIM;
  int status = -1;
  EXPECT_FALSE(ParallelKeyLine::Open(slaveName_, &status, FakeIoctl));
  EXPECT_EQ(status, EINVAL);
}

TEST(DeviceForPort, LinuxNamesAndOverrides) {
  unsetenv("ORVEX_COM1");
  unsetenv("ORVEX_LPT2");
  EXPECT_EQ(DeviceForPort(1), "/dev/ttyS0");
  EXPECT_EQ(DeviceForPort(8), "/dev/ttyS7");
  EXPECT_EQ(DeviceForPort(-1), "/dev/parport0");
  EXPECT_EQ(DeviceForPort(-2), "/dev/parport1");
  EXPECT_EQ(DeviceForPort(0), "");
  EXPECT_EQ(DeviceForPort(9), "");
  setenv("ORVEX_COM1", "/dev/ttyUSB0", 1);
  setenv("ORVEX_LPT2", "/dev/parport5", 1);
  EXPECT_EQ(DeviceForPort(1), "/dev/ttyUSB0");
  EXPECT_EQ(DeviceForPort(-2), "/dev/parport5");
  setenv("ORVEX_COM1", "", 1);
  EXPECT_EQ(DeviceForPort(1), "/dev/ttyS0");
  unsetenv("ORVEX_COM1");
  unsetenv("ORVEX_LPT2");
}

}  // namespace
}  // namespace orvex::keyer
