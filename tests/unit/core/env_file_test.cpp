// The environment file read and rewritten, and the text and numbers under
// it: Windows-1252 inside, files as they were read, the C locale.
#include "core/config/env_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <climits>
#include <cstring>

#include "base/numbers.h"
#include "base/text.h"
#include "core/config/port_name.h"
#include "core/config/settings_table.h"
#include "engine/lines/device_names.h"
#include "support/files.h"

namespace orvex {
namespace {

using test::Contains;
using test::ReadFile;
using test::WriteFile;

constexpr const char* kDefaultFile =
    "[ORVEX]\r\nVersion=4.01\r\nCWPort=None\r\nCWSpeed= 28 \r\nCWSidetone_Device= 1 \r\n"
    "CWSidetone_Enable= 1 \r\nCWTone= 600 \r\nCWWeight= 50 \r\nCWPttLead= 0 \r\nCWPttTail= 0 \r\n"
    "PacketTop=-1 \r\n"
    "PacketLeft= 0 \r\nPacketHeight= 0 \r\nPacketWidth= 0 \r\nPacketState= 0 \r\n"
    "PacketFontName=FixedSys\r\nPacketFontSize= 9 \r\nPacketFontBold= 0 \r\n"
    "PacketFontItalic= 0 \r\nPacketFontUnderline= 0 \r\nPacketFontStrikeThru= 0 \r\n";

class EnvFile : public ::testing::Test {
 protected:
  // Reads contents (unless null) from the file; its problems join boxes.
  EnvSettings Read(const char* contents) {
    if (contents) WriteFile(path, contents);
    const EnvRead read = file.ReadEnvironmentFile();
    for (const Result& problem : read.problems) boxes.push_back(problem.text());
    portCode = read.portCode;
    return read.settings;
  }
  bool Write(const EnvSettings& s) { return file.WriteEnvironmentFile(s).ok(); }
  Text Last() const { return boxes.empty() ? Text() : boxes.back(); }
  test::TempDir dir;
  std::string path = dir.File("orvex.ini");
  EnvironmentFile file{path};
  std::vector<Text> boxes;
  int16_t portCode = 0;
};

TEST_F(EnvFile, AMissingFileGivesTheDefaultsQuietlyAndTheyAreWrittenInKeyOrder) {
  EXPECT_EQ(Read(nullptr), EnvSettings{});
  EXPECT_TRUE(boxes.empty());
  ASSERT_TRUE(Write(EnvSettings{}));
  EXPECT_EQ(ReadFile(path), kDefaultFile);
}

TEST_F(EnvFile, KeysSeparatorsNumbersAndLaterLines) {
  EXPECT_EQ(Read("cwspeed = 25\r\n").CWSpeed, 25);
  EXPECT_EQ(Read("CWSPEED 25").CWSpeed, 25);
  EXPECT_EQ(Read("  CALL=  DL1 ABC  ").MyCall, "DL1 ABC");
  EXPECT_EQ(Read("CWSpeed=abc").CWSpeed, 0);  // no number
  EXPECT_EQ(Read("CWSpeed=3.5").CWSpeed, 4);
  EXPECT_EQ(Read("CWPttTail=3001").CWPttTail, 0);  // out of range: refused, named with its limits
  EXPECT_EQ(Last(), "Can't read environment file " + path + "\r\nCWPttTail must be 0 - 3000.");
  const EnvSettings ends = Read("CWSpeed=20\rCWTone=700\nCWTone=800\r\n");  // CR, LF, CRLF
  EXPECT_EQ(ends.CWSpeed, 20);
  EXPECT_EQ(ends.CWTone, 800);  // the later line wins
}

TEST_F(EnvFile, PortNamesAreCheckedAfterTheLastLine) {
  EXPECT_EQ(Read("CWPort=com3").CWPort, "com3");
  EXPECT_EQ(portCode, 3);
  // A device path is kept as it is written and opened by its path.
  const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_A601-if00-port0";
  EXPECT_EQ(Read(("CWPort=" + byId).c_str()).CWPort, byId);
  EXPECT_EQ(engine::DeviceForPort(portCode), byId);
  ASSERT_TRUE(Write(Read(nullptr)));
  EXPECT_TRUE(Contains(ReadFile(path), "\r\nCWPort=" + byId + "\r\n"));
  EXPECT_EQ(Read("CWPort=COM9\r\nCWSpeed=20").CWPort, "None");
  EXPECT_EQ(portCode, 0);
  EXPECT_EQ(Last(),
            "Bad CW port 'COM9' in environment file.\r\n"
            "Reset it using the 'Options/CW Options' menu.");
}

// A keying choice is never guessed: one the program does not know stays as
// written and keys nothing (the port is refused) until it is set; key and
// PTT on one line lose PTT, not keying. A bad value before them (any of
// 0, -1, abc, 3601, empty) does not keep them from being read.
TEST_F(EnvFile, KeyingChoicesAreReadWhateverCameBeforeAndAnUnknownOneKeysNothing) {
  EnvSettings s = Read("CWKeyer=winkeyer\r\nCWKeyLine=rts\r\nCWPttLine=dtr");
  EXPECT_EQ(s.CWKeyer + s.CWKeyLine + s.CWPttLine, "WinKeyerRTSDTR");
  s = Read("CWKeyLine=CTS\r\nCWPttLine=DTR");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0],
            "CWKeyLine 'CTS' in the environment file is not DTR or RTS.\r\n"
            "Nothing is keyed until it is set in the 'Options/CW Options' menu.");
  EXPECT_EQ(s.CWKeyLine, "CTS");
  EXPECT_FALSE(CheckKeyingChoices(s).ok());
  s = Read("CWKeyLine=RTS\r\nCWPttLine=rts");
  EXPECT_EQ(s.CWPttLine, "None");
  EXPECT_EQ(Last(),
            "The key line and the PTT line can't both be RTS: choose another PTT line, or "
            "None.\r\nPTT is off (None) until it is set in the 'Options/CW Options' menu.");
  for (const char* bad : {"0", "-1", "abc", "3601", ""}) {
    s = Read(
        ("CWPort=COM1\r\nNetPttLimit=" + std::string(bad) + "\r\nCWKeyLine=RTS\r\nCWPttLine=None")
            .c_str());
    EXPECT_EQ(Last(), "Can't read environment file " + path + "\r\nNetPttLimit must be 1 - 3600.");
    EXPECT_EQ(s.CWKeyLine + s.CWPttLine, "RTSNone") << bad;
    EXPECT_EQ(portCode, 1) << bad;
  }
}

TEST_F(EnvFile, AnOverflowKeepsTheDefaultAndTheFileIsKeptAsBakBeforeTheFirstRewrite) {
  const std::string original = "CWPort=COM2\r\nCWSpeed=20\r\nCWTone=40000\r\nMsgCW1=precious\r\n";
  const EnvSettings s = Read(original.c_str());
  EXPECT_EQ(Last(), "Can't read environment file " + path + "\r\nCWTone must be -32768 - 32767.");
  EXPECT_EQ(s.CWSpeed, 20);
  EXPECT_EQ(s.CWTone, 600);             // the default stays
  EXPECT_EQ(s.Message(1), "precious");  // and the rest is read
  EXPECT_EQ(portCode, 2);
  ASSERT_TRUE(Write(s));
  EXPECT_EQ(ReadFile(path + ".bak"), original);
  ASSERT_TRUE(Write(s));  // only the first rewrite makes one
  EXPECT_EQ(ReadFile(path + ".bak"), original);
  // Another file not read whole: its own backup, the first one untouched.
  const std::string second = "CWTone=50000\r\nMsgCW2=also precious\r\n";
  ASSERT_TRUE(Write(Read(second.c_str())));
  EXPECT_EQ(ReadFile(path + ".bak"), original);
  EXPECT_EQ(ReadFile(path + ".bak.1"), second);
}

// Every row of the table away from its default, whatever rows there are:
// each must read back as written. Numbers without limits go past 16 bits
// where their field holds 32 (a window on a second monitor).
TEST_F(EnvFile, EveryRowReadsBackAsWrittenAwayFromItsDefault) {
  EnvSettings s;
  for (const Setting& row : SettingsTable()) {
    if (row.how == Written::Version) continue;
    if (row.how == Written::Numbered) {
      for (int n = 1; n <= 8; ++n) s.Message(n) = "TU \xC9 73 " + std::to_string(n);
      continue;
    }
    if (const auto* f = std::get_if<float EnvSettings::*>(&row.field)) {
      s.** f = 10.5f;
      continue;
    }
    Result entered = Result::Refused("no value");
    if (std::holds_alternative<Text EnvSettings::*>(row.field)) {
      const Text last = row.choices ? Text(std::strrchr(row.choices, '|') + 1) : Text();
      for (const Text& typed :
           {last, Text("COM3"), Text("10.0.0.2:6789"), Text("09"), Text("G4XYZ")})
        if (!typed.empty() && typed != row.text && (entered = row.Enter(s, typed)).ok()) break;
    } else {
      const bool wide = std::holds_alternative<int32_t EnvSettings::*>(row.field);
      const long long value = wide && row.limits.lo == INT_MIN ? 60000
                              : row.limits.Holds(static_cast<long long>(row.number) + 1)
                                  ? static_cast<long long>(row.number) + 1
                                  : row.limits.lo;
      entered = row.Enter(s, std::to_string(value));
    }
    ASSERT_TRUE(entered.ok()) << row.key << ": " << entered.text();
    ASSERT_NE(row.Typed(s), row.Typed(EnvSettings{})) << row.key << " kept its default";
  }
  ASSERT_TRUE(Write(s));
  s.Version = "4.01";
  EXPECT_EQ(Read(nullptr), s);
  EXPECT_TRUE(boxes.empty()) << Last();
  s.PacketFontName.clear();  // the pane's own font, which is no FixedSys
  ASSERT_TRUE(Write(s));
  EXPECT_EQ(Read(nullptr).PacketFontName, "");
}

TEST_F(EnvFile, TheFileKeepsItsEncodingAndEveryCharacterAndANewFileIsWindows1252) {
  const EnvSettings accented = Read("MsgCW1=\xC3\x89T\r\n");
  EXPECT_EQ(accented.Message(1), "\xC9T");
  ASSERT_TRUE(Write(accented));
  EXPECT_TRUE(Contains(ReadFile(path), "MsgCW1=\xC3\x89T\r\n"));
  ASSERT_TRUE(EnvironmentFile(dir.File("new.ini")).WriteEnvironmentFile(accented).ok());
  EXPECT_TRUE(Contains(ReadFile(dir.File("new.ini")), "MsgCW1=\xC9T\r\n"));
  const std::string wide[] = {"Call=SP5\xC5\x81X\r\n",
                              "MsgCW1=\xD0\x9F\xD1\x80\xD0\xB8 \xCE\xA9\r\n"};
  ASSERT_TRUE(Write(Read((wide[0] + wide[1]).c_str())));
  ASSERT_TRUE(Write(Read(nullptr)));
  for (const std::string& line : wide) EXPECT_TRUE(Contains(ReadFile(path), line)) << line;
}

TEST_F(EnvFile, AFailedWriteLeavesTheOldFileWholeAndNoTemporaryFile) {
  WriteFile(path, "MsgCW1=keep me\r\n");
  EnvSettings s;
  for (int n = 1; n <= 8; ++n) s.Message(n) = std::string(200, 'A');
  rlimit saved{}, low{};
  getrlimit(RLIMIT_FSIZE, &saved);
  low = saved;
  low.rlim_cur = 300;  // writes past it fail as on a full disk
  const auto handler = signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &low);
  const Result written = file.WriteEnvironmentFile(s);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, handler);
  EXPECT_FALSE(written.ok());
  EXPECT_EQ(ReadFile(path), "MsgCW1=keep me\r\n");
  EXPECT_EQ(written.text().rfind("Can't write environment file " + path + "\r\n", 0), 0u);
  EXPECT_EQ(std::system(("test $(ls -A '" + dir.path() + "' | wc -l) -eq 1").c_str()), 0);
}

TEST_F(EnvFile, ASymbolicLinkKeepsPointingAtTheRewrittenFile) {
  const std::string real = path + ".real";
  WriteFile(real, "CWSpeed=20\r\n");
  ASSERT_EQ(symlink(real.c_str(), path.c_str()), 0);
  ASSERT_TRUE(Write(EnvSettings{}));
  char target[512] = {};
  ASSERT_GT(readlink(path.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), real);
  EXPECT_EQ(ReadFile(real), kDefaultFile);
}

// Text in Windows-1252 and numbers in the C locale, under every file.
TEST(Text, EveryCharacterSurvivesAndThoseOutsideWindows1252AreNeverKeyable) {
  Text all;
  for (int b = 0; b < 256; ++b)
    if (b != 0x81) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  const std::string wide = "\u0141\u0443 \u4E2D \U0001F4FB \u0081";  // Ł, Cyrillic, CJK, emoji, C1
  const Text text = Utf8ToCp1252(wide);
  EXPECT_EQ(Cp1252ToUtf8(text), wide);
  EXPECT_EQ(Cp1252ToUtf8(UpperCase(text)), wide);
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    EXPECT_TRUE(b == ' ' || b == 0x81 || (b >= 0x90 && b <= 0x9F))
        << int(b);  // no Morse, no command
  }
  EXPECT_EQ(Cp1252ToUtf8(CutText(text, 10)), "\u0141");  // never through a character
  EXPECT_EQ(EncodeFileText("\xC9" + text, FileEncoding::Windows1252), "\u00C9" + wide);
  EXPECT_EQ(UpperCase("com3 \xE9\xFF"), "COM3 \xC9\x9F");
}

TEST(Text, FileTextIsUtf8OnlyWhenValidAndNotPlainAscii) {
  FileEncoding enc;
  EXPECT_EQ(DecodeFileText("Call=DL1ABC", &enc), "Call=DL1ABC");
  EXPECT_EQ(enc, FileEncoding::Windows1252);
  EXPECT_EQ(DecodeFileText("M=\xC3\x89T", &enc), "M=\xC9T");
  EXPECT_EQ(enc, FileEncoding::Utf8);
  EXPECT_EQ(DecodeFileText("\xEF\xBB\xBFx=1", &enc), "x=1");  // a byte-order mark
  EXPECT_EQ(enc, FileEncoding::Utf8);
  // Windows-1252's undefined 0x81 is a character of its own, whatever follows.
  const std::string odd = "\x81\x90\x90\x90\x90\x90\x91\xFF";
  EXPECT_EQ(Cp1252ToUtf8(DecodeFileText(odd, &enc)).substr(0, 4), "\u0081\u0090");
  EXPECT_EQ(EncodeFileText(DecodeFileText(odd), enc), odd);
  const Text cut = DecodeFileText("\xC3\x81T\xFF").substr(0, 9);  // bytes that read as UTF-8
  EXPECT_EQ(DecodeFileText(EncodeFileText(cut, FileEncoding::Windows1252)), cut);
}

// A speed as typed: halves round to even, the untouched 777 where no number
// was read.
TEST(SpeedCheck, RoundsHalvesToEvenAndChecksOneToNinetyNine) {
  for (auto [text, result, number] : {std::tuple{" 20 ", true, 20},
                                      {"0", false, 0},
                                      {"99.5", false, 100},
                                      {"98.5", true, 98},
                                      {".5e1", true, 5},
                                      {"20x", false, 777},
                                      {"", false, 777},
                                      {"70000", false, 777}}) {
    int16_t got = 777;
    EXPECT_EQ(IsNumberInRange(text, 1, 99, &got), result) << text;
    EXPECT_EQ(got, number) << text;
  }
}

}  // namespace
}  // namespace orvex
