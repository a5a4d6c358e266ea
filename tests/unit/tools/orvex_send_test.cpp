// orvex-send --print-ini, run as a real process.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "test_support.h"

namespace orvex {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

struct SendResult {
  int status;
  std::string out;
  std::string err;
};

class OrvexSend : public ::testing::Test {
 protected:
  // env: VAR=value settings for the run.
  SendResult Send(const std::string& args, const std::string& env = "") {
    const std::string out = dir.File("stdout"), err = dir.File("stderr");
    const std::string cmd =
        env + " " + std::string(ORVEX_SEND_BINARY) + " " + args + " >" + out + " 2>" + err;
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(out), ReadFile(err)};
  }
  TempDir dir;
};

TEST_F(OrvexSend, PrintsTheRewriteByteForByteAndLeavesTheFileAlone) {
  const std::string ini = dir.File("in.ini");
  const std::string contents = "cwspeed = 25\nMsgCW3=CQ CQ = TEST\rCall=DL1ABC\r\n";
  WriteFile(ini, contents);
  const SendResult r = Send("--ini " + ini + " --print-ini");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.substr(0, 44), "[ORVEX]\r\nVersion=4.01\r\nCall=DL1ABC\r\nCWPort=N");
  EXPECT_NE(r.out.find("CWSpeed= 25 \r\n"), std::string::npos);
  EXPECT_NE(r.out.find("MsgCW3=CQ CQ = TEST\r\nPacketTop=-1 \r\n"), std::string::npos);
  EXPECT_EQ(ReadFile(ini), contents);
  EXPECT_FALSE(test::Exists(ini + ".bak"));
}

TEST_F(OrvexSend, BoxesGoToStandardErrorAsTitleColonTextAndABlankLine) {
  const std::string ini = dir.File("in.ini");
  WriteFile(ini, "Junk\r\nCWPort=COM9\r\n");
  const SendResult r = Send("--ini " + ini + " --print-ini");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "Environment File: Bad line in environment file " + ini + ".\nLine #1: Junk\n\n"
            "Environment File: Bad CW port 'COM9' in environment file.\n"
            "Reset it using the 'Options/CW Options' menu.\n\n");
  EXPECT_NE(r.out.find("CWPort=None\r\n"), std::string::npos);
}

TEST_F(OrvexSend, KeepsTheEncodingOfTheFile) {
  const std::string ini = dir.File("in.ini");
  WriteFile(ini, "MsgCW1=\xC3\x89T\xC3\x89\r\n");
  EXPECT_NE(Send("--ini " + ini + " --print-ini").out.find("MsgCW1=\xC3\x89T\xC3\x89\r\n"),
            std::string::npos);
  WriteFile(ini, "MsgCW1=\xC9T\xC9\r\n");
  EXPECT_NE(Send("--ini " + ini + " --print-ini").out.find("MsgCW1=\xC9T\xC9\r\n"),
            std::string::npos);
}

TEST_F(OrvexSend, AMissingFilePrintsTheDefaultsQuietly) {
  const SendResult r = Send("--ini " + dir.File("none.ini") + " --print-ini");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("CWSpeed= 28 \r\n"), std::string::npos);
  EXPECT_FALSE(test::Exists(dir.File("none.ini")));
}

TEST_F(OrvexSend, BadArgumentsExitTwoWithUsage) {
  for (const char* args :
       {"--bogus", "--ini", "", "--ini x.ini", "--msg 9 --dry-run", "--msg 1 --text A --trace",
        "--msg 1", "--msg 1 --dry-run --trace", "--msg 1 --now 2026-13-01T00:00:00 --dry-run",
        "--text A --port COM9", "--text A --wpm 0 --trace", "--text A --max-seconds 0 --trace"}) {
    const SendResult r = Send(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err.find("usage: orvex-send"), std::string::npos) << args;
    EXPECT_EQ(r.out, "") << args;
  }
}

class SendModes : public OrvexSend {
 protected:
  void SetUp() override {
    ini = dir.File("orvex.ini");
    WriteFile(ini,
              "Call=DL1ABC\r\n"
              "MsgCW1=CQ DE #ME\r\n"
              "MsgCW2=#HIM DE #ME #TIME #DATE #MSG1 #CR#^C\\\r\n"
              "MsgCW3=VVV #PAUSE 2 K #REPEAT\r\n"
              "MsgCW4=QSL #FILE " + dir.File("log-#ME.txt") + " TU\r\n");
    WriteFile(dir.File("log-DL1ABC.txt"), "LOG #ME\nEND\n");
  }
  SendResult Send(const std::string& args, const std::string& env = "") {
    return OrvexSend::Send("--ini " + ini + " " + args, env);
  }
  std::string ini;
};

TEST_F(SendModes, DryRunPrintsEachQueuedTextEscaped) {
  EXPECT_EQ(Send("--msg 1 --dry-run").out, "CQ DE DL1ABC\\x0D\\x0A\n");
  const SendResult r = Send("--msg 2 --him G4XYZ --now 2026-03-15T14:35:07 --dry-run", "TZ=UTC");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "G4XYZ DE DL1ABC 1435 03/15/26 CQ DE DL1ABC \\x0D\\x03\\\\\\x0D\\x0A\n");
}

TEST_F(SendModes, AFileNamedInAMessageIsQueuedLineByLine) {
  const SendResult r = Send("--msg 4 --dry-run");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "QSL \\xCF " + dir.File("log-DL1ABC.txt") + " TU\\x0D\\x0A\n"
                   "LOG DL1ABC\\x0D\\x0A\nEND\\x0D\\x0A\n");
}

TEST_F(SendModes, TraceShowsKeyerCallsAndPausesAndARepeatEndsAtTheTimeLimit) {
  const SendResult r = Send("--msg 3 --trace --max-seconds 12");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("OPEN 0 0\n"), std::string::npos);
  EXPECT_NE(r.out.find("UNIT 0 42\nELEMENT 0 1\nELEMENT 128 1\n"), std::string::npos);
  size_t pauses = 0;
  for (size_t at = 0; (at = r.out.find("PAUSE 2000\n", at)) != std::string::npos; ++at) ++pauses;
  EXPECT_GE(pauses, 3u);  // VVV, 2 s, K, again and again
  EXPECT_LE(pauses, 6u);
  EXPECT_EQ(r.out.find("PENDING"), std::string::npos);
  EXPECT_EQ(r.out.substr(r.out.size() - 10), "CLOSE 0 0\n");
}

TEST_F(SendModes, TypedTextActsOnCommandLetters) {
  const SendResult r = Send("--text 'E\xC3\x8A\xC3\x89' --trace");  // E, Ê (key line off), É
  EXPECT_EQ(r.status, 0);
  // After E's elements the key line goes off, then É is keyed as ..-..
  const size_t off = r.out.find("ELEMENT 128 2\nKEYLINE 0 0\n");
  ASSERT_NE(off, std::string::npos) << r.out;
  EXPECT_NE(r.out.find("ELEMENT 0 1\nELEMENT 128 1\nELEMENT 0 1\nELEMENT 128 1\nELEMENT 0 3\n", off),
            std::string::npos)
      << r.out;
}

TEST_F(SendModes, AFailureBoxMakesTheExitStatusOne) {
  const SendResult r = Send("--file " + dir.File("missing.txt") + " --dry-run");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "CW Start: Can't send file '" + dir.File("missing.txt") +
                       "' as CW.\n(2) No such file or directory.\n\n");
}

}  // namespace
}  // namespace orvex
