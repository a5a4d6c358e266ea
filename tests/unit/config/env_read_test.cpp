#include <gtest/gtest.h>
#include <sys/stat.h>

#include "config/env_file.h"
#include "test_support.h"

namespace orvex {
namespace {

using test::RecordingSink;
using test::TempDir;

struct ReadResult {
  EnvSettings settings;
  int16_t portCode = 0;
  std::vector<test::RecordedBox> boxes;
  MessageMenuCaptions captions;
  std::string path;
};

class EnvRead : public ::testing::Test {
 protected:
  ReadResult Read(const std::string& contents) {
    ReadResult r;
    r.path = dir.File("orvex.ini");
    test::WriteFile(r.path, contents);
    RecordingSink sink;
    EnvironmentFile file(r.path, sink, r.captions);
    file.ReadEnvironmentFile(r.settings, r.portCode);
    r.boxes = sink.boxes;
    return r;
  }
  TempDir dir;
};

TEST_F(EnvRead, MissingFileGivesDefaultsAndNoMessage) {
  RecordingSink sink;
  MessageMenuCaptions captions;
  EnvironmentFile file(dir.File("orvex.ini"), sink, captions);
  EnvSettings s = ZeroedEnvSettings();
  int16_t code = 5;
  file.ReadEnvironmentFile(s, code);
  EXPECT_TRUE(sink.boxes.empty());
  EXPECT_EQ(s, EnvSettings{});
  EXPECT_EQ(s.CWSpeed, 28);
  EXPECT_EQ(s.CWPort, "None");
  EXPECT_EQ(s.PacketTop, -1);
  EXPECT_EQ(s.PacketFontName, "FixedSys");
  EXPECT_EQ(s.PacketFontSize, 9.0f);
  EXPECT_EQ(code, 5);  // no file, no port parse
}

TEST_F(EnvRead, KeysAreTrimmedAndUpperCasedAndSeparatedByEqualsOrSpace) {
  EXPECT_EQ(Read("cwspeed = 25\r\n").settings.CWSpeed, 25);
  EXPECT_EQ(Read("CWSPEED 25\r\n").settings.CWSpeed, 25);
  EXPECT_EQ(Read("CWSpeed=25 =3\r\n").settings.CWSpeed, 25);
  EXPECT_EQ(Read("  CALL=X\r\n").settings.MyCall, "X");
  EXPECT_EQ(Read("Call=  DL1 ABC  \r\n").settings.MyCall, "DL1 ABC");
}

TEST_F(EnvRead, NumbersRoundHalfToEvenAndNonNumbersGiveZero) {
  EXPECT_EQ(Read("CWSpeed=abc").settings.CWSpeed, 0);
  EXPECT_EQ(Read("CWSpeed=2.5").settings.CWSpeed, 2);
  EXPECT_EQ(Read("CWSpeed=3.5").settings.CWSpeed, 4);
  EXPECT_EQ(Read("CWTone=-12").settings.CWTone, -12);
  EXPECT_EQ(Read("PacketFontSize= 10.5 ").settings.PacketFontSize, 10.5f);
  EXPECT_EQ(Read("ColorPktFore=16777215").settings.ColorPktFore, 16777215);
}

TEST_F(EnvRead, SidetoneHasTwoKeysAndLaterLinesWin) {
  EXPECT_EQ(Read("CWSIDETONE=0").settings.CWSidetone_Enable, 0);
  EXPECT_EQ(Read("CWSidetone_Enable=0").settings.CWSidetone_Enable, 0);
  EXPECT_EQ(Read("CWSpeed=20\r\nCWSpeed=30\r\n").settings.CWSpeed, 30);
}

TEST_F(EnvRead, MessagesTakeTheLastCharacterOfTheKeyAsTheirNumber) {
  auto r = Read("MsgCW3=CQ CQ = TEST\r\nMsgCW9=x\r\nMsgCWx=x\r\nMsgCW12=two\r\n");
  EXPECT_TRUE(r.boxes.empty());
  EXPECT_EQ(r.settings.Message(3), "CQ CQ = TEST");
  EXPECT_EQ(r.settings.Message(2), "two");
  EXPECT_EQ(r.captions.Caption(3), "&3: CQ CQ = TEST");
  EXPECT_EQ(r.captions.Caption(2), "&2: two");
  EXPECT_EQ(r.captions.Caption(1), "");

  auto emptied = Read("MsgCW2=x\r\nMSGCW2\r\n");
  EXPECT_EQ(emptied.settings.Message(2), "");
  EXPECT_TRUE(emptied.boxes.empty());
}

TEST_F(EnvRead, BadLinesAreReportedOneByOneWithTheirNumbersAndReadingGoesOn) {
  auto r = Read("[ORVEX]\r\nmsgcw2\r\n; comment\r\n\r\n   \r\n;x=1\r\n[orvex]\r\n[orvex] \r\nFoo=1\r\nCWSpeed=22\r\n");
  ASSERT_EQ(r.boxes.size(), 3u);
  EXPECT_EQ(r.boxes[0].title, "Environment File");
  EXPECT_EQ(r.boxes[0].text,
            "Bad line in environment file " + r.path + ".\r\nLine #2: msgcw2");
  EXPECT_EQ(r.boxes[1].text, "Bad line in environment file " + r.path + ".\r\nLine #7: [orvex]");
  EXPECT_EQ(r.boxes[2].text, "Bad line in environment file " + r.path + ".\r\nLine #9: Foo=1");
  EXPECT_EQ(r.settings.CWSpeed, 22);
}

TEST_F(EnvRead, CrCrlfAndLoneLfAllEndLines) {
  auto r = Read("CWSpeed=20\rCWTone=700\nCWWeight=40\r\nBad\n");
  EXPECT_EQ(r.settings.CWSpeed, 20);
  EXPECT_EQ(r.settings.CWTone, 700);
  EXPECT_EQ(r.settings.CWWeight, 40);
  ASSERT_EQ(r.boxes.size(), 1u);
  EXPECT_NE(r.boxes[0].text.find("Line #4: Bad"), Text::npos);
}

TEST_F(EnvRead, PortNamesAreCheckedAfterTheLastLine) {
  auto com3 = Read("CWPort=com3");
  EXPECT_EQ(com3.portCode, 3);
  EXPECT_EQ(com3.settings.CWPort, "com3");
  EXPECT_EQ(Read("CWPort=3").portCode, 3);
  EXPECT_EQ(Read("CWPort=LPT2").portCode, -2);

  auto bad = Read("CWPort=COM9\r\nCWSpeed=20");
  EXPECT_EQ(bad.portCode, 0);
  EXPECT_EQ(bad.settings.CWPort, "None");
  ASSERT_EQ(bad.boxes.size(), 1u);
  EXPECT_EQ(bad.boxes[0].text,
            "Bad CW port 'COM9' in environment file.\r\n"
            "Reset it using the 'Options/CW Options' menu.");
  // The value is quoted as read, not as upper-cased.
  EXPECT_EQ(Read("CWPort=lpt9").boxes.at(0).text.substr(0, 18), "Bad CW port 'lpt9'");
}

TEST_F(EnvRead, OverflowStopsReadingKeepsWhatWasReadAndSkipsThePortCheck) {
  auto r = Read("CWPort=COM2\r\nCWSpeed=20\r\nCWTone=40000\r\nMsgCW1=lost\r\n");
  ASSERT_EQ(r.boxes.size(), 1u);
  EXPECT_EQ(r.boxes[0].text, "Can't read environment file " + r.path + "\r\nOverflow.");
  EXPECT_EQ(r.settings.CWSpeed, 20);
  EXPECT_EQ(r.settings.CWTone, 600);  // the default stays
  EXPECT_EQ(r.settings.Message(1), "");
  EXPECT_EQ(r.portCode, 0);
}

TEST_F(EnvRead, PlacementHoldsThirtyTwoBitsWhileOtherFieldsKeepSixteen) {
  auto r = Read("PacketTop=40000\r\nPacketLeft=-45000\r\nPacketWidth=57600\r\nPacketHeight=33000");
  EXPECT_TRUE(r.boxes.empty());
  EXPECT_EQ(r.settings.PacketTop, 40000);
  EXPECT_EQ(r.settings.PacketLeft, -45000);
  EXPECT_EQ(r.settings.PacketWidth, 57600);
  EXPECT_EQ(r.settings.PacketHeight, 33000);
  EXPECT_EQ(Read("PacketState=40000").boxes.size(), 1u);
  EXPECT_EQ(Read("PacketTop=3000000000").boxes.size(), 1u);
}

TEST_F(EnvRead, Utf8FilesAreDecodedToProgramText) {
  auto r = Read("MsgCW1=73 \xC3\x89 \xE2\x82\xAC\r\n");
  EXPECT_EQ(r.settings.Message(1), "73 \xC9 \x80");
}

TEST_F(EnvRead, OpenFailureOtherThanAMissingFileStillAppliesDefaults) {
  for (const std::string& path : {dir.File("no-such-dir/orvex.ini"), dir.path()}) {
    RecordingSink sink;
    MessageMenuCaptions captions;
    EnvironmentFile file(path, sink, captions);
    EnvSettings s = ZeroedEnvSettings();
    int16_t code = 0;
    file.ReadEnvironmentFile(s, code);
    ASSERT_EQ(sink.boxes.size(), 1u) << path;
    EXPECT_EQ(sink.boxes[0].text.rfind("Can't open environment file " + path + "\r\n", 0), 0u)
        << sink.boxes[0].text;
    EXPECT_EQ(sink.boxes[0].text.back(), '.');
    EXPECT_EQ(s.CWSpeed, 28);
    EXPECT_EQ(s.PacketFontSize, 9.0f);
    EXPECT_EQ(s.PacketTop, -1);
  }
}

TEST_F(EnvRead, YieldsToEventsBeforeEveryLine) {
  const std::string path = dir.File("orvex.ini");
  test::WriteFile(path, "a=1\r\n\r\n;c\r\n");
  RecordingSink sink;
  MessageMenuCaptions captions;
  EnvironmentFile file(path, sink, captions);
  EnvSettings s;
  int16_t code = 0;
  int yields = 0;
  file.ReadEnvironmentFile(s, code, [&] { ++yields; });
  EXPECT_EQ(yields, 3);
}

}  // namespace
}  // namespace orvex
