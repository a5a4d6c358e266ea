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
  SendResult Send(const std::string& args) {
    const std::string out = dir.File("stdout"), err = dir.File("stderr");
    const std::string cmd = std::string(ORVEX_SEND_BINARY) + " " + args + " >" + out + " 2>" + err;
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
  for (const char* args : {"--bogus", "--ini", "", "--ini x.ini"}) {
    const SendResult r = Send(args);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err.find("usage: orvex-send"), std::string::npos) << args;
    EXPECT_EQ(r.out, "") << args;
  }
}

}  // namespace
}  // namespace orvex
