// orvex-send run as a real process: its options, files and output; keying
// a WinKeyer (the test emulator) in real time, and keying from a paddle
// whose contacts a timeline drives (the modem shim).
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <vector>

#include "support/files.h"
#include "support/winkeyer_emulator.h"

namespace orvex {
namespace {

using test::Contains;
using test::WriteFile;

// A run that failed (status 1) and said why.
void ExpectFailed(const test::ToolResult& r, const std::string& why) {
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_TRUE(Contains(r.err, why)) << r.err;
}

class OrvexSend : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(ini,
              "Call=DL1ABC\r\nMsgCW1=CQ DE #ME\r\n"
              "MsgCW2=#HIM DE #ME #TIME #DATE #MSG1 #CR#^C\\\r\n"
              "MsgCW3=VVV #PAUSE 2 K #REPEAT\r\n"
              "MsgCW4=QSL #FILE " +
                  dir.File("log-#ME.txt") + " TU\r\n");
    WriteFile(dir.File("log-DL1ABC.txt"), "LOG #ME\nEND\n");
  }
  test::ToolResult Send(const std::string& args, const std::string& env = "") {
    return test::RunTool(env + " " ORVEX_SEND_BINARY " " + args, dir);
  }
  test::TempDir dir;
  std::string ini = dir.File("orvex.ini");
};

TEST_F(OrvexSend, PrintIniShowsTheRewriteLeavesTheFileAloneAndBoxesGoToStandardError) {
  const std::string contents =
      "cwspeed = 25\nMsgCW3=CQ = TEST\rJu\x01nk\r\nCWPort=COM9\r\nMsgCW1=\xC3\x89T\r\n";
  WriteFile(ini, contents);
  const auto r = Send("--ini " + ini + " --print-ini");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(Contains(r.out, "CWSpeed= 25 \r\n"));
  EXPECT_TRUE(Contains(r.out, "MsgCW1=\xC3\x89T\r\nMsgCW3=CQ = TEST\r\n"));  // UTF-8 kept
  EXPECT_EQ(r.err, "Environment File: Bad line in environment file " + ini +
                       ".\nLine #3: Ju\\x01nk\n\n"
                       "Environment File: Bad CW port 'COM9' in environment file.\n"
                       "Reset it using the 'Options/CW Options' menu.\n\n");
  EXPECT_EQ(test::ReadFile(ini), contents);
}

TEST_F(OrvexSend, BadArgumentsExitTwoWithUsage) {
  for (const char* args :
       {"--bogus", "", "--msg 9 --dry-run", "--msg 1 --text A --trace", "--text A --port COM9",
        "--text A --max-seconds nan --trace", "--msg 1 --now 2026-02-31T00:00:00 --dry-run",
        "--ini '' --msg 1 --dry-run", "--text A --text B --trace"}) {
    const auto r = Send(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_TRUE(Contains(r.err, "usage: orvex-send")) << args;
  }
}

TEST_F(OrvexSend, DryRunPrintsEachQueuedTextEscapedWithFilesLineByLine) {
  EXPECT_EQ(Send("--ini " + ini + " --msg 1 --dry-run").out, "CQ DE DL1ABC\\x0D\\x0A\n");
  const auto r =
      Send("--ini " + ini + " --msg 2 --him G4XYZ --now 2026-03-15T14:35:07 --dry-run", "TZ=UTC");
  EXPECT_EQ(r.out, "G4XYZ DE DL1ABC 1435 03/15/26 CQ DE DL1ABC \\x0D\\x03\\\\\\x0D\\x0A\n");
  EXPECT_EQ(Send("--ini " + ini + " --msg 4 --dry-run").out,
            "QSL \\xCF " + dir.File("log-DL1ABC.txt") +
                " TU\\x0D\\x0A\nLOG DL1ABC\\x0D\\x0A\nEND\\x0D\\x0A\n");
  WriteFile(ini, "MsgCW1=TU #NR #NEXT\r\nCutNumbers=9\r\n");
  EXPECT_EQ(Send("--ini " + ini + " --msg 1 --nr 97 --dry-run").out, "TU 0N7 \\x8F\\x0D\\x0A\n");
}

TEST_F(OrvexSend, TraceShowsKeyerCallsAndPausesAndARepeatEndsAtTheTimeLimit) {
  const auto r = Send("--ini " + ini + " --msg 3 --trace --max-seconds 12");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(Contains(r.out, "OPEN 0 0\n"));
  EXPECT_TRUE(Contains(r.out, "UNIT 0 42\nELEMENT 0 1\nELEMENT 128 1\n"));
  size_t pauses = 0;
  for (size_t at = 0; (at = r.out.find("PAUSE 2000\n", at)) != std::string::npos; ++at) ++pauses;
  EXPECT_GE(pauses, 3u);  // VVV, 2 s, K, again and again
  EXPECT_LE(pauses, 6u);
  EXPECT_EQ(r.out.substr(r.out.size() - 10), "CLOSE 0 0\n");
}

TEST_F(OrvexSend, AFailureBoxMakesTheExitStatusOne) {
  ExpectFailed(Send("--ini " + ini + " --file " + dir.File("missing.txt") + " --dry-run"),
               "CW Start: Can't send file '" + dir.File("missing.txt") +
                   "' as CW.\n(2) No such file or directory.\n\n");
  // A pipe would block for ever, /dev/zero never end: neither is read.
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  for (const std::string& special : {dir.File("fifo"), std::string("/dev/zero")}) {
    ExpectFailed(Send("--ini " + ini + " --file " + special + " --port None", "timeout 5"),
                 "' as CW.\n(22) Not a regular file.\n");
    ExpectFailed(Send("--ini " + special + " --print-ini", "timeout 5"),
                 "Can't open environment file " + special + "\nNot a regular file.");
  }
  // A far keyer with nothing listening; a rig model Hamlib does not know,
  // refused before Hamlib sees it.
  for (auto [settings, why] :
       {std::pair{"CWKeyer=Remote\r\nRemoteKeyer=127.0.0.1:1",
                  "127.0.0.1:1: nothing listens there"},
        {"CWKeyer=Rig\r\nRigModel=0", "RigModel 0 is no rig model Hamlib knows"}}) {
    WriteFile(ini, std::string("MsgCW1=CQ\r\n") + settings + "\r\n");
    ExpectFailed(Send("--ini " + ini + " --msg 1 --port None", "ORVEX_AUDIO=none timeout 10"), why);
  }
  // A message the queue cannot take whole is refused, and that is a failure.
  WriteFile(ini, "MsgCW1=" + std::string(33000, 'E') + "\r\n");
  EXPECT_EQ(Send("--ini " + ini + " --msg 1 --dry-run").status, 1);
}

// The keying's shape, read back from the rendered sound: each run of tone
// and of silence in ms, a tone first (the 5 ms edges fall on both ends of a
// run alike, and the sine's zero crossings are bridged).
std::vector<int> Runs(const std::string& wav) {
  std::vector<int> runs;
  bool on = false;
  size_t quiet = 0, start = 0;
  for (size_t i = 44; i + 1 < wav.size(); i += 2) {
    const int sample = static_cast<int16_t>((wav[i] & 0xFF) | (wav[i + 1] << 8));
    quiet = std::abs(sample) > 3000 ? 0 : quiet + 1;
    const size_t n = (i - 44) / 2;
    if (!on && quiet == 0) {
      if (!runs.empty()) runs.push_back(static_cast<int>(((n - start) * 1000 + 11025) / 22050));
      on = true, start = n;
    } else if (on && quiet == 44) {  // 2 ms of silence
      runs.push_back(static_cast<int>(((n - 43 - start) * 1000 + 11025) / 22050));
      on = false, start = n - 43;
    }
  }
  return runs;
}

// At 20 WPM a unit is 60 ms: the first runs of tone and silence, in ms.
TEST_F(OrvexSend, TheKeyingsShapeReadBackFromTheSound) {
  const std::tuple<const char*, const char*, std::vector<int>> shapes[] = {
      {"", "E E", {60, 360, 60}},                    // plain: 6 units between words
      {"CWWordSpace=7\r\n", "E E", {60, 420, 60}},   // standard
      {"CWWeight=60\r\n", "II", {72, 48, 72, 168}},  // heavier, same length
      {"CWWeight=30\r\n", "T", {156}},
      // Characters at 20, overall 10: the gap after one 483 ms longer.
      {"CWFarnsworth=10\r\n", "PA", {60, 60, 180, 60, 180, 60, 60, 663}}};
  for (const auto& [settings, text, want] : shapes) {
    WriteFile(ini, settings);
    const auto r =
        Send("--ini " + ini + " --wpm 20 --wav " + dir.File("out.wav") + " --text '" + text + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<int> runs = Runs(test::ReadFile(dir.File("out.wav")));
    ASSERT_GE(runs.size(), want.size()) << settings;
    for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(runs[i], want[i], 2) << settings << i;
  }
}

// Every sign's code, as an independent decoder reads it back from the sound.
TEST_F(OrvexSend, MultimonReadsBackTheRenderedCw) {
  const std::string sentence = "CQ DE DL1ABC 599 TU, 73? QRV = 0123456789 / THE END.";
  ASSERT_EQ(
      Send("--ini " + ini + " --wpm 20 --wav " + dir.File("out.wav") + " --text '" + sentence + "'")
          .status,
      0);
  // Raw samples after the 44-byte header, at 22050 Hz; word breaks are not compared.
  const auto decoded = test::RunTool(
      "tail -c +45 " + dir.File("out.wav") + " | multimon-ng -q -c -a MORSE_CW -t raw -", dir);
  std::string letters, expected;
  for (char c : decoded.out) letters += c == ' ' || c == '\n' ? "" : std::string(1, c);
  for (char c : sentence) expected += c == ' ' ? "" : std::string(1, c);
  EXPECT_EQ(letters, expected) << decoded.out;
}

// The modem shim preloaded; a build with AddressSanitizer, whose runtime
// would rather come first, is told that the shim before it is meant.
const std::string kShim = " LD_PRELOAD=" ORVEX_MODEM_SHIM " ASAN_OPTIONS=verify_asan_link_order=0";

// The key line's marks in a key log: when each went down and came up, ms.
struct Marks {
  explicit Marks(const std::string& log) {
    std::istringstream in(log);
    std::string what, how;
    for (long long us; in >> us >> what >> how;)
      if (what == "KEY") (how == "DOWN" ? downs : ups).push_back(us / 1000.0);
  }
  std::vector<double> downs, ups;
};

using OrvexSendKeyer = OrvexSend;

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
  // The file's speed is the first one sent, then the weighting.
  test::WinKeyerEmulator::Command speed;
  EXPECT_TRUE(winKeyer.Got("\x02", &speed) && speed.bytes == "\x02\x28");
  EXPECT_TRUE(winKeyer.Got("\x03\x37"));
  EXPECT_TRUE(winKeyer.Got("\x0d\x0f"));  // Farnsworth
  EXPECT_TRUE(winKeyer.WaitFor([&] { return !winKeyer.Now().hostOpen; }));
  test::WinKeyerEmulator silent({.answers = false});
  ExpectFailed(Send("--ini " + ini + " --msg 1 --port " + silent.Device()),
               "no WinKeyer answered on " + silent.Device());
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
    if (told) {
      ExpectFailed(r, told);
      continue;
    }
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(winKeyer.Now().sent, "PARIS PARIS PARIS");
  }
}

// The operator's paddle on the CW port's status lines, at 20 WPM (a unit of
// 60 ms): each mode turns the same kind of hand into the elements its rules
// say, each machine-timed element exact on the key line, and orvex-send
// prints what the hand sent. A run the engine counted a late key change in
// is tried again (the machine froze; the program did not err).
TEST_F(OrvexSendKeyer, EachPaddleModeKeysByItsRules) {
  struct Case {
    const char* what;
    const char* settings;
    const char* timeline;  // ms from the port's opening: the contacts closed
    const char* elements;
    const char* printed;
    const char* env = "";
    int status = 0;
  };
  const Case cases[] = {
      {"a held dit", "Paddle=IambicB", "400 CTS\n890 -", ".....", "5"},
      {"a held dit, the driver unable to wait", "Paddle=IambicB", "400 CTS\n890 -", ".....", "5",
       "ORVEX_SHIM_NO_WAIT=1"},
      {"swapped", "Paddle=IambicB\r\nPaddleSwap=1", "400 CTS\n700 -", "--", "M"},
      {"a squeeze let go in the dah, mode A", "Paddle=IambicA", "400 CTS\n440 CTS DSR\n600 -", ".-",
       "A"},
      {"a squeeze let go in the dah, mode B", "Paddle=IambicB", "400 CTS\n440 CTS DSR\n600 -",
       ".-.", "R"},
      {"the last pressed wins", "Paddle=Ultimatic", "400 DSR\n500 CTS DSR\n820 DSR\n900 -", "-..-",
       "X"},
      {"the same hand, iambic", "Paddle=IambicB", "400 DSR\n500 CTS DSR\n820 DSR\n900 -", "-.-.",
       "C"},
      {"the bug's dits and its dah contact", "Paddle=Bug", "400 CTS\n630 -\n650 DSR\n830 -", "..-",
       "U"},
      {"a straight key", "Paddle=Straight", "400 CTS\n460 -\n520 CTS\n700 -", ".-", "A"},
      {"a straight key held when its adapter is pulled out", "Paddle=Straight", "400 CTS\n1900 -",
       "-", "", "ORVEX_SHIM_READ_FAIL=700", 1},
  };
  int master = -1, slave = -1;
  char name[64];
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  const std::string log = dir.File("key.log"), timeline = dir.File("paddle");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile(ini, std::string("CWSpeed=20\r\nCWPttTail=0\r\n") + c.settings + "\r\n");
    WriteFile(timeline, std::string(c.timeline) + "\n");
    for (int attempt = 1;; ++attempt) {
      std::remove(log.c_str());
      const auto r = Send("--ini " + ini + " --port COM1 --paddle 2 --show-sidetone",
                          std::string(c.env) + " ORVEX_AUDIO=none ORVEX_COM1=" + name + kShim +
                              " ORVEX_SHIM_PADDLE=" + timeline + " ORVEX_KEYER_LOG=" + log);
      ASSERT_EQ(r.status, c.status) << r.err;
      const Marks marks(test::ReadFile(log));
      const auto& downs = marks.downs;
      const auto& ups = marks.ups;
      std::string elements;
      bool exact = downs.size() == ups.size();
      const bool machine = !Contains(c.settings, "Straight") && !Contains(c.settings, "Bug");
      for (size_t i = 0; i < downs.size() && i < ups.size(); ++i) {
        const double mark = ups[i] - downs[i];
        elements += mark < 120 ? '.' : '-';
        if (machine && std::fabs(mark - (mark < 120 ? 60 : 180)) > 1) exact = false;
        if (machine && i > 0 && std::fabs(downs[i] - ups[i - 1] - 60) > 1) exact = false;
      }
      unsigned late = 0;
      const size_t counted = r.out.rfind("sidetone: ");
      ASSERT_NE(counted, std::string::npos) << r.out;
      std::sscanf(r.out.c_str() + counted, "sidetone: %*u times ran dry, %*u edges late, %u",
                  &late);
      if (late > 0 && attempt < 3 && (elements != c.elements || !exact)) continue;
      EXPECT_EQ(elements, c.elements);
      if (c.status != 0) {  // let go where the lines stopped reading, and told
        EXPECT_TRUE(!ups.empty() && ups.back() - downs.back() < 400) << test::ReadFile(log);
        EXPECT_TRUE(Contains(r.err, "the paddle's port stopped answering")) << r.err;
      } else if (late == 0) {
        EXPECT_TRUE(exact) << test::ReadFile(log);
        EXPECT_TRUE(Contains(r.out, std::string("\n") + c.printed)) << r.out;
      }
      break;
    }
  }
  close(master);
  close(slave);
}

// Touching the paddle while text goes stops the text at once, as Esc does,
// and the paddle keys from there; the send says what was left unsent. The
// keyer's own paddle input, through a WinKeyer: set to the mode, and what
// it sent echoed back and printed.
TEST_F(OrvexSendKeyer, ThePaddleBreaksInAndAWinKeyerEchoesItsOwn) {
  int master = -1, slave = -1;
  char name[64];
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  const std::string log = dir.File("key.log"), timeline = dir.File("paddle");
  WriteFile(ini, "CWSpeed=20\r\nPaddle=IambicB\r\n");
  WriteFile(timeline, "1200 CTS\n1230 -\n");
  const auto r = Send("--ini " + ini + " --port COM1 --paddle 3 --text 'PARIS PARIS PARIS'",
                      std::string("ORVEX_AUDIO=none ORVEX_COM1=") + name + kShim +
                          " ORVEX_SHIM_PADDLE=" + timeline + " ORVEX_KEYER_LOG=" + log);
  close(master);
  close(slave);
  ExpectFailed(r, "sending stopped: the paddle broke in");
  EXPECT_TRUE(Contains(r.out, "E")) << r.out;
  // The text's marks up to the touch, then the paddle's one dit, then nothing.
  const Marks marks(test::ReadFile(log));
  const auto& downs = marks.downs;
  ASSERT_GE(downs.size(), 3u);
  EXPECT_NEAR(marks.ups.back() - downs.back(), 60, 2);     // the paddle's dit, the last mark
  EXPECT_LT(downs.back() - downs[downs.size() - 2], 400);  // no gap before it: it broke in

  test::WinKeyerEmulator winKeyer;
  WriteFile(ini, "CWKeyer=WinKeyer\r\nPaddle=IambicA\r\nPaddleSwap=1\r\n");
  std::thread hand([&] {
    winKeyer.WaitFor([&] { return (winKeyer.Now().mode & 0x40) != 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    winKeyer.Paddle("CQ");
  });
  const auto wk =
      Send("--ini " + ini + " --port " + winKeyer.Device() + " --paddle 2", "ORVEX_AUDIO=none");
  hand.join();
  EXPECT_EQ(wk.status, 0) << wk.err;
  EXPECT_EQ(winKeyer.Now().mode, 0x40 | 0x10 | 0x08 | 0x04);  // echo, mode A, swapped, serial echo
  EXPECT_TRUE(Contains(wk.out, "CQ")) << wk.out;
}

}  // namespace
}  // namespace orvex
