// orvex-send run as a real process.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "support/files.h"

namespace orvex {
namespace {

using test::Contains;
using test::WriteFile;

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
  EXPECT_EQ(Send("--ini " + dir.File("none.ini") + " --print-ini").err, "");
  EXPECT_FALSE(test::Exists(dir.File("none.ini")));
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
  const auto r = Send("--ini " + ini + " --file " + dir.File("missing.txt") + " --dry-run");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "CW Start: Can't send file '" + dir.File("missing.txt") +
                       "' as CW.\n(2) No such file or directory.\n\n");
  // A pipe would block for ever, /dev/zero never end: neither is read.
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  for (const std::string& special : {dir.File("fifo"), std::string("/dev/zero")}) {
    const auto refused = Send("--ini " + ini + " --file " + special + " --port None", "timeout 5");
    EXPECT_EQ(refused.status, 1) << special;
    EXPECT_TRUE(Contains(refused.err, "' as CW.\n(22) Not a regular file.\n")) << refused.err;
    EXPECT_EQ(
        Send("--ini " + special + " --print-ini", "timeout 5").err,
        "Environment File: Can't open environment file " + special + "\nNot a regular file.\n\n");
  }
  // A far keyer with nothing listening.
  WriteFile(ini, "MsgCW1=CQ\r\nCWKeyer=Remote\r\nRemoteKeyer=127.0.0.1:1\r\n");
  auto told = Send("--ini " + ini + " --msg 1 --port None", "ORVEX_AUDIO=none timeout 10");
  EXPECT_EQ(told.status, 1);
  EXPECT_TRUE(
      Contains(told.err, "Can't key through the keyer at 127.0.0.1:1: nothing listens there"))
      << told.err;
  // A rig model Hamlib does not know is refused before Hamlib sees it.
  WriteFile(ini, "MsgCW1=CQ\r\nCWKeyer=Rig\r\nRigModel=0\r\n");
  told = Send("--ini " + ini + " --msg 1 --port None", "ORVEX_AUDIO=none timeout 10");
  EXPECT_EQ(told.status, 1);
  EXPECT_TRUE(Contains(told.err, "RigModel 0 is no rig model Hamlib knows")) << told.err;
  // A message the queue cannot take whole is refused, and that is a failure.
  WriteFile(ini, "MsgCW1=" + std::string(33000, 'E') + "\r\n");
  EXPECT_EQ(Send("--ini " + ini + " --msg 1 --dry-run").status, 1);
}

TEST_F(OrvexSend, TheQueueCodesAreLettersInAUtf8FileAndCommandsInAWindows1252One) {
  WriteFile(dir.File("utf8.txt"), "CAF\xC3\x8A OK\n");
  WriteFile(dir.File("cp1252.txt"), "A\xCA\xCC\n");
  EXPECT_EQ(Send("--ini " + ini + " --file " + dir.File("utf8.txt") + " --dry-run").out,
            "CAF OK\\x0D\\x0A\n");
  EXPECT_EQ(Send("--ini " + ini + " --file " + dir.File("cp1252.txt") + " --dry-run").out,
            "A\\xCA\\xCC\\x0D\\x0A\n");
}

TEST_F(OrvexSend, AWaveGoesToStandardOutputAndFollowsADanglingLink) {
  ASSERT_EQ(Send("--ini " + ini + " --text E --wav -").out.substr(0, 4), "RIFF");
  ASSERT_EQ(symlink(dir.File("target.wav").c_str(), dir.File("link.wav").c_str()), 0);
  EXPECT_EQ(Send("--ini " + ini + " --text E --wav " + dir.File("link.wav")).status, 0);
  EXPECT_EQ(test::ReadFile(dir.File("target.wav")).substr(0, 4), "RIFF");
  struct stat st {};
  EXPECT_TRUE(lstat(dir.File("link.wav").c_str(), &st) == 0 && S_ISLNK(st.st_mode));
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

struct Shape {
  const char* settings;
  const char* text;
  std::vector<int> runs;  // the first runs of tone and silence, ms
};

class KeyingShape : public OrvexSend, public ::testing::WithParamInterface<Shape> {};

TEST_P(KeyingShape, ReadBackFromTheSound) {
  WriteFile(ini, GetParam().settings);
  const auto r = Send("--ini " + ini + " --wpm 20 --wav " + dir.File("out.wav") + " --text '" +
                      GetParam().text + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<int> runs = Runs(test::ReadFile(dir.File("out.wav")));
  ASSERT_GE(runs.size(), GetParam().runs.size());
  for (size_t i = 0; i < GetParam().runs.size(); ++i)
    EXPECT_NEAR(runs[i], GetParam().runs[i], 2) << "run " << i;
}

// At 20 WPM a unit is 60 ms.
INSTANTIATE_TEST_SUITE_P(
    Timing, KeyingShape,
    ::testing::Values(Shape{"", "E E", {60, 360, 60}},                    // plain: 6 between words
                      Shape{"CWWordSpace=7\r\n", "E E", {60, 420, 60}},   // standard
                      Shape{"CWWeight=60\r\n", "II", {72, 48, 72, 168}},  // heavier, same length
                      Shape{"CWWeight=30\r\n", "T", {156}},
                      // Characters at 20, overall 10: the gap after one 483 ms longer.
                      Shape{"CWFarnsworth=10\r\n", "PA", {60, 60, 180, 60, 180, 60, 60, 663}}));

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

}  // namespace
}  // namespace orvex
