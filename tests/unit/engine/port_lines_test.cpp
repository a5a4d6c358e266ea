// Serial and parallel key lines. Pseudo-terminals refuse modem-line ioctls,
// so the line logic runs over a real descriptor with a recording ioctl; the
// open status runs against real devices and files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/ppdev.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "engine/lines/device_names.h"
#include "engine/lines/open_status.h"
#include "engine/lines/parallel_key_line.h"
#include "engine/lines/serial_key_line.h"

namespace orvex::engine {
namespace {

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
struct Wired {
  LineChoice lines;
  int key, ptt;  // the bits each switches; 0 for none
};
class WiredLines : public PortLines, public ::testing::WithParamInterface<Wired> {};

TEST_P(WiredLines, KeyAndPttOnTheLinesChosenAndBothLoweredOnClose) {
  const Wired w = GetParam();
  std::unique_ptr<KeyLine> line;
  ASSERT_TRUE(OpenSerialKeyLine(slave, &line, FakeIoctl, w.lines).ok());
  g_calls.clear();
  (void)line->SetPtt(true);
  (void)line->SetKey(true);
  (void)line->SetKey(false);
  line.reset();
  std::vector<Call> want;
  if (w.ptt != 0) want.push_back({TIOCMBIS, w.ptt});
  want.push_back({TIOCMBIS, w.key});
  want.push_back({TIOCMBIC, w.key});
  want.push_back({TIOCMBIC, TIOCM_DTR | TIOCM_RTS});
  ASSERT_GE(g_calls.size(), want.size());
  EXPECT_EQ(std::vector<Call>(g_calls.begin(), g_calls.begin() + static_cast<long>(want.size())),
            want);
}
INSTANTIATE_TEST_SUITE_P(
    Stations, WiredLines,
    ::testing::Values(Wired{{}, TIOCM_DTR, TIOCM_RTS},
                      Wired{{SerialLine::Rts, SerialLine::Dtr}, TIOCM_RTS, TIOCM_DTR},
                      Wired{{SerialLine::Rts, SerialLine::None}, TIOCM_RTS, 0}));

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
