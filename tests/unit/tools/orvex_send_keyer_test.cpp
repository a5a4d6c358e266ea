// orvex-send keying a WinKeyer (the test emulator) in real time.
#include <gtest/gtest.h>

#include "support/run_tool.h"
#include "support/winkeyer_emulator.h"

namespace orvex {
namespace {

using test::Contains;
using test::WriteFile;

class OrvexSendKeyer : public ::testing::Test {
 protected:
  test::ToolResult Send(const std::string& args, const std::string& env = "") {
    return test::RunTool(env + " " ORVEX_SEND_BINARY " " + args, dir);
  }
  test::TempDir dir;
  std::string ini = dir.File("orvex.ini");
};

// Through a WinKeyer: the message as its characters, at the file's speed,
// and the keyer left in its own mode; a device that does not answer fails.
TEST_F(OrvexSendKeyer, KeysThroughAWinKeyerWhenTheFileSaysSo) {
  test::WinKeyerEmulator winKeyer;
  WriteFile(ini,
            "Call=DL1ABC\r\nMsgCW1=CQ DE #ME +\r\nCWSpeed=40\r\nCWKeyer=WinKeyer\r\n"
            "CWWeight=55\r\nCWFarnsworth=15\r\n");
  // No sound server: the keyer makes its own sidetone, and that is no failure.
  const auto r = Send("--ini " + ini + " --msg 1 --port " + winKeyer.Device(),
                      "ORVEX_AUDIO=pulse PULSE_SERVER=unix:/nonexistent");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(winKeyer.Now().sent, "CQ DE DL1ABC EC ");
  EXPECT_TRUE(winKeyer.Got("\x02\x28") && winKeyer.Got("\x03\x37"));  // speed, weighting
  EXPECT_TRUE(winKeyer.Got("\x0d\x0f"));                              // Farnsworth
  EXPECT_TRUE(winKeyer.Got(std::string("\x04\x00\x00", 3)));          // PTT lead, tail
  EXPECT_TRUE(winKeyer.WaitFor([&] { return !winKeyer.Now().hostOpen; }));
  test::WinKeyerEmulator silent({.answers = false});
  const auto refused = Send("--ini " + ini + " --msg 1 --port " + silent.Device());
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(Contains(refused.err, "no WinKeyer answered on " + silent.Device())) << refused.err;
}

// A WinKeyer that misbehaves is told within seconds, and a send that left
// text unsent never ends in success; a flipped busy bit is no echo.
TEST_F(OrvexSendKeyer, AWinKeyerThatMisbehavesIsToldAndTheSendNeverSucceedsUnsent) {
  using F = test::WinKeyerEmulator::Options::Fault;
  const std::pair<F, const char*> faults[] = {{F::Xoff, "it stays in XOFF"},
                                              {F::Stall, "the WinKeyer stopped sending"},
                                              {F::BreakIn, "the paddle broke in"},
                                              {F::Garbage, "echoed 0x23, which it was not sent"},
                                              {F::Flips, nullptr}};
  WriteFile(ini, "CWSpeed=99\r\nCWKeyer=WinKeyer\r\n");
  for (const auto& [fault, told] : faults) {
    test::WinKeyerEmulator winKeyer({.fault = fault});
    const auto r = Send(
        "--ini " + ini + " --text 'PARIS PARIS PARIS' --max-seconds 12 --port " + winKeyer.Device(),
        "ORVEX_AUDIO=none");
    if (!told) {
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(winKeyer.Now().sent, "PARIS PARIS PARIS");
      continue;
    }
    EXPECT_EQ(r.status, 1) << told;
    EXPECT_TRUE(Contains(r.err, told)) << r.err;
  }
}

}  // namespace
}  // namespace orvex
