#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "config/env_file.h"
#include "test_support.h"

namespace orvex {
namespace {

using test::Exists;
using test::ReadFile;
using test::RecordingSink;
using test::TempDir;
using test::WriteFile;

constexpr const char* kDefaultFile =
    "[ORVEX]\r\n"
    "Version=4.01\r\n"
    "CWPort=None\r\n"
    "CWSpeed= 28 \r\n"
    "CWSidetone_Device= 1 \r\n"
    "CWSidetone_Enable= 1 \r\n"
    "CWTone= 600 \r\n"
    "CWWeight= 50 \r\n"
    "PacketTop=-1 \r\n"
    "PacketLeft= 0 \r\n"
    "PacketHeight= 0 \r\n"
    "PacketWidth= 0 \r\n"
    "PacketState= 0 \r\n"
    "PacketFontName=FixedSys\r\n"
    "PacketFontSize= 9 \r\n"
    "PacketFontBold= 0 \r\n"
    "PacketFontItalic= 0 \r\n"
    "PacketFontUnderline= 0 \r\n"
    "PacketFontStrikeThru= 0 \r\n";

// Keeps the file-size limit low for one scope, so writes past it fail the way
// a full disk makes them fail.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    oldHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit lim = saved_;
    lim.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lim);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit saved_{};
  sighandler_t oldHandler_;
};

class EnvWrite : public ::testing::Test {
 protected:
  TempDir dir;  // first: the members below are built from it
  std::string path = dir.File("orvex.ini");
  RecordingSink sink;
  MessageMenuCaptions captions;
  EnvironmentFile file{path, sink, captions};
};

TEST_F(EnvWrite, DefaultsAreWrittenInKeyOrderWithPrintFormNumbersAndCrlf) {
  EXPECT_EQ(EnvironmentFile::FormatEnvironmentFile(EnvSettings{}), kDefaultFile);
  ASSERT_TRUE(file.WriteEnvironmentFile(EnvSettings{}));
  EXPECT_EQ(ReadFile(path), kDefaultFile);
  EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(EnvWrite, OptionalLinesFollowTheirConditions) {
  EnvSettings s;
  s.Version = "3.0";
  s.MyCall = "DL1ABC";
  s.ColorPktFore = 255;
  s.ColorPktBack = 65280;
  s.Message(1) = "CQ DE #ME";
  s.Message(8) = "73";
  s.PacketFontSize = 10.5f;
  s.PacketTop = -1;
  const Text out = EnvironmentFile::FormatEnvironmentFile(s);
  EXPECT_NE(out.find("Version=4.01\r\nCall=DL1ABC\r\nColorPktFore= 255 \r\nColorPktBack= 65280 \r\n"
                     "CWPort=None\r\n"),
            Text::npos);
  EXPECT_NE(out.find("CWWeight= 50 \r\nMsgCW1=CQ DE #ME\r\nMsgCW8=73\r\nPacketTop=-1 \r\n"),
            Text::npos);
  EXPECT_NE(out.find("PacketFontSize= 10.5 \r\n"), Text::npos);

  EnvSettings backOnly;
  backOnly.ColorPktBack = 255;  // without a foreground colour it is dropped
  EXPECT_EQ(EnvironmentFile::FormatEnvironmentFile(backOnly).find("ColorPkt"), Text::npos);

  EnvSettings noFont;
  noFont.PacketFontName.clear();
  noFont.CWPort.clear();
  const Text f = EnvironmentFile::FormatEnvironmentFile(noFont);
  EXPECT_EQ(f.find("PacketFont"), Text::npos);
  EXPECT_NE(f.find("CWPort=\r\n"), Text::npos);
  EXPECT_EQ(f.substr(f.size() - 17), "PacketState= 0 \r\n");
}

TEST_F(EnvWrite, WhatIsWrittenReadsBackTheSame) {
  EnvSettings s;
  s.MyCall = "G4XYZ";
  s.CWPort = "com3";
  s.CWSpeed = 35;
  s.CWTone = 750;
  s.PacketTop = 60000;  // beyond 16 bits: a second monitor
  s.PacketLeft = -3000;
  s.PacketWidth = 7350;
  s.PacketHeight = 1200;
  s.PacketState = 2;
  s.PacketFontSize = 10.5f;
  s.Message(4) = "TU \xC9 73";
  ASSERT_TRUE(file.WriteEnvironmentFile(s));
  EnvSettings back = ZeroedEnvSettings();
  int16_t code = 0;
  file.ReadEnvironmentFile(back, code);
  s.Version = "4.01";
  EXPECT_EQ(back, s);
  EXPECT_EQ(code, 3);
  EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(EnvWrite, WritingSetsTheMenuCaptionsOfTheMessages) {
  EnvSettings s;
  s.Message(5) = "  ABCDEFGHIJKLMNOPQRSTUVWXY  ";
  ASSERT_TRUE(file.WriteEnvironmentFile(s));
  EXPECT_EQ(captions.Caption(5), "&5: ABCDEFGHIJKLMNOPQRST...");
}

TEST_F(EnvWrite, AFailedWriteLeavesTheOldFileWholeAndReportsIt) {
  EnvSettings s;
  for (int n = 1; n <= 8; ++n) s.Message(n) = std::string(200, 'A' + n);
  WriteFile(path, "MsgCW1=keep me\r\n");
  {
    FileSizeLimit limit(300);
    EXPECT_FALSE(file.WriteEnvironmentFile(s));
  }
  EXPECT_EQ(ReadFile(path), "MsgCW1=keep me\r\n");
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].title, "Environment File");
  EXPECT_EQ(sink.boxes[0].text.rfind("Can't write environment file " + path + "\r\n", 0), 0u);
  EXPECT_EQ(sink.boxes[0].text.back(), '.');
  // No temporary file is left behind.
  EXPECT_EQ(std::system(("test $(ls -A '" + dir.path() + "' | wc -l) -eq 1").c_str()), 0);
}

TEST_F(EnvWrite, AFileThatCannotBeCreatedIsReportedAsCantOpen) {
  RecordingSink s2;
  MessageMenuCaptions c2;
  EnvironmentFile missingDir(path + ".d/sub/orvex.ini", s2, c2);
  EXPECT_FALSE(missingDir.WriteEnvironmentFile(EnvSettings{}));
  ASSERT_EQ(s2.boxes.size(), 1u);
  EXPECT_EQ(s2.boxes[0].text.rfind("Can't open environment file " + path + ".d/sub/orvex.ini\r\n", 0),
            0u);
}

TEST_F(EnvWrite, AFileNotReadWholeIsKeptAsBakBeforeTheFirstRewrite) {
  const std::string original = "CWSpeed=20\r\nCWTone=99999\r\nMsgCW1=precious\r\n";
  WriteFile(path, original);
  EnvSettings s;
  int16_t code = 0;
  file.ReadEnvironmentFile(s, code);
  ASSERT_TRUE(file.BackupPending());
  ASSERT_TRUE(file.WriteEnvironmentFile(s));
  EXPECT_EQ(ReadFile(path + ".bak"), original);
  EXPECT_EQ(ReadFile(path).find("precious"), Text::npos);
  EXPECT_FALSE(file.BackupPending());

  // Only the first rewrite: the backup holds the operator's file, not ours.
  ASSERT_TRUE(file.WriteEnvironmentFile(s));
  EXPECT_EQ(ReadFile(path + ".bak"), original);
}

TEST_F(EnvWrite, AWholeReadMakesNoBackup) {
  WriteFile(path, "CWSpeed=20\r\n");
  EnvSettings s;
  int16_t code = 0;
  file.ReadEnvironmentFile(s, code);
  ASSERT_TRUE(file.WriteEnvironmentFile(s));
  EXPECT_FALSE(Exists(path + ".bak"));
}

TEST_F(EnvWrite, TheFileKeepsTheEncodingItWasReadIn) {
  WriteFile(path, "MsgCW1=\xC3\x89T\xC3\x89\r\n");  // UTF-8
  EnvSettings s;
  int16_t code = 0;
  file.ReadEnvironmentFile(s, code);
  EXPECT_EQ(file.Encoding(), FileEncoding::Utf8);
  ASSERT_TRUE(file.WriteEnvironmentFile(s));
  EXPECT_NE(ReadFile(path).find("MsgCW1=\xC3\x89T\xC3\x89\r\n"), Text::npos);

  RecordingSink s2;
  MessageMenuCaptions c2;
  const std::string legacy = path + ".legacy";
  WriteFile(legacy, "MsgCW1=\xC9T\xC9\r\n");  // Windows-1252
  EnvironmentFile f2(legacy, s2, c2);
  f2.ReadEnvironmentFile(s, code);
  ASSERT_TRUE(f2.WriteEnvironmentFile(s));
  EXPECT_NE(ReadFile(legacy).find("MsgCW1=\xC9T\xC9\r\n"), Text::npos);
}

TEST_F(EnvWrite, ANewFileIsWrittenInWindows1252) {
  EnvSettings s;
  s.Message(2) = "\xC9";
  ASSERT_TRUE(file.WriteEnvironmentFile(s));
  EXPECT_NE(ReadFile(path).find("MsgCW2=\xC9\r\n"), Text::npos);
}

TEST_F(EnvWrite, ASymbolicLinkKeepsPointingAtTheRewrittenFile) {
  const std::string real = path + ".real";
  WriteFile(real, "CWSpeed=20\r\n");
  ASSERT_EQ(symlink(real.c_str(), path.c_str()), 0);
  ASSERT_TRUE(file.WriteEnvironmentFile(EnvSettings{}));
  char target[512] = {};
  ASSERT_GT(readlink(path.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), real);
  EXPECT_EQ(ReadFile(real), kDefaultFile);
}

}  // namespace
}  // namespace orvex
