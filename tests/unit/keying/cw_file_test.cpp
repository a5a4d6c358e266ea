#include "keying/cw_file.h"

#include <gtest/gtest.h>

#include "keying/send_fakes.h"
#include "keying/send_path.h"
#include "keying/sim_keyer.h"
#include "test_support.h"

namespace orvex {
namespace {

class FakeChooser : public FileChooser {
 public:
  std::optional<std::string> ChooseFileToRead(const Text& title, const Text& filter,
                                              const std::string& startDir) override {
    seen = {title, filter, startDir};
    return answer;
  }
  std::optional<std::string> answer;
  std::vector<std::string> seen;
};

class FileSending : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.MyCall = "DL1ABC";
    send.Keying().InitCW();
    send.Keying().SetCWSpeed(28);
    keying.KeyboardCW = true;
    send.SetTypeAhead(&typed);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    test::WriteFile(dir.File(name), bytes);
    return dir.File(name);
  }
  // Everything queued, in order, as one text.
  Text Queued() const {
    Text all;
    for (const auto& [text, level] : queued) all += text;
    return all;
  }
  void Run(int ms) {
    for (int t = 0; t < ms; t += 100) {
      clock.Advance(100);
      timer.FireIfDue();
      send.Tick();
    }
  }

  test::TempDir dir;
  ManualClock clock;
  SimKeyer keyer{clock};
  KeyingState keying;
  EnvSettings settings;
  test::FakeTimer timer{clock};
  test::CountingBeeper beeper;
  test::RecordingSink sink;
  test::FakeTypeAhead typed;
  SendPath send{keyer, keying, settings, clock, timer, beeper, sink, "/stn"};
  std::vector<std::pair<Text, int>> queued;

  void Observe() {
    send.Queue().SetQueueObserver([this](const Text& t, int level) { queued.push_back({t, level}); });
  }
};

TEST_F(FileSending, ShortLinesAreReadAheadUntilTwentyCharactersWait) {
  Observe();
  const std::string path = Write("a.txt", "CQ\r\nDE\nDL1ABC\rK\r\nTU 73 GL ES HPE CUAGN\nEND\n");
  send.File().SendCWFile(nullptr, Utf8ToCp1252(path));
  EXPECT_EQ(send.File().CWFileName(), Utf8ToCp1252(path));
  ASSERT_GE(queued.size(), 2u);
  for (const auto& [text, level] : queued) EXPECT_EQ(level, 2);
  EXPECT_EQ(queued[0].first, "CQ\r\n");
  EXPECT_EQ(queued[1].first, "DE\r\n");
  EXPECT_LT(queued.size(), 6u);  // not the whole file at once
  Run(30000);
  EXPECT_EQ(Queued(), "CQ\r\nDE\r\nDL1ABC\r\nK\r\nTU 73 GL ES HPE CUAGN\r\nEND\r\n");
  EXPECT_EQ(send.File().CWFileName(), "");
  EXPECT_TRUE(send.Idle());
}

TEST_F(FileSending, LinesGoThroughTheLimitedMacros) {
  Observe();
  send.File().SendCWFile(nullptr, Utf8ToCp1252(Write("m.txt", "DE #ME #PAUSE 5 #MSG1\n")));
  EXPECT_EQ(queued.at(0).first, "DE DL1ABC #PAUSE 5 #MSG1\r\n");
}

TEST_F(FileSending, EmptyFilesAndEmptyLines) {
  Observe();
  send.File().SendCWFile(nullptr, Utf8ToCp1252(Write("empty.txt", "")));
  EXPECT_TRUE(queued.empty());
  EXPECT_EQ(send.File().CWFileName(), "");
  send.File().SendCWFile(nullptr, Utf8ToCp1252(Write("blank.txt", "\n\n")));
  Run(500);
  EXPECT_EQ(Queued(), "\r\n\r\n");
  EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(FileSending, EachLineIsDecodedOnItsOwn) {
  Observe();
  send.File().SendCWFile(nullptr, Utf8ToCp1252(Write("enc.txt", "\xC3\x89T\xC3\x89\n\xC9T\xC9\n")));
  Run(10000);
  EXPECT_EQ(Queued(), "\xC9T\xC9\r\n\xC9T\xC9\r\n");
}

TEST_F(FileSending, AFileThatIsNotTextIsSentInPiecesWithoutStalling) {
  Observe();
  std::string junk(1 << 20, 'E');
  junk[5] = '\0';
  send.File().SendCWFile(nullptr, Utf8ToCp1252(Write("junk.bin", junk)));
  ASSERT_FALSE(queued.empty());
  EXPECT_LE(queued[0].first.size(), TextLineReader::kPieceBytes);
  EXPECT_EQ(queued[0].first[5], '\0');
  EXPECT_EQ(beeper.beeps, 0);
}

TEST_F(FileSending, ANamedFileThatCannotBeOpenedIsReported) {
  send.File().SendCWFile(nullptr, "???");
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].title, "CW Start");
  EXPECT_EQ(sink.boxes[0].text,
            "Can't send file '???' as CW.\r\n(2) No such file or directory.");
  EXPECT_EQ(send.File().CWFileName(), "");
}

TEST_F(FileSending, AReadErrorEndsTheTransferWithItsBox) {
  send.File().SendCWFile(nullptr, Utf8ToCp1252(dir.path()));  // a directory reads with an error
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].title, "Send CW File");
  EXPECT_EQ(sink.boxes[0].text.rfind("Can't read file " + dir.path() + ".\r\n(21) ", 0), 0u);
  EXPECT_EQ(send.File().CWFileName(), "");
}

TEST_F(FileSending, TheChooserStartsInTheProgramDirectoryAndNamesTheFileBare) {
  FakeChooser chooser;
  send.File().SendCWFile(&chooser, "");
  EXPECT_EQ(chooser.seen,
            (std::vector<std::string>{"File to Send as CW", "All Files (*.*)|*.*", "/stn"}));
  EXPECT_EQ(send.File().CWFileName(), "");  // cancelled: nothing happens
  chooser.answer = Write("chosen.txt", std::string(30, 'E') + "\n" + std::string(30, 'T') + "\n");
  send.File().SendCWFile(&chooser, "");
  EXPECT_EQ(send.File().CWFileName(), "chosen.txt");
  chooser.answer = dir.File("gone.txt");
  send.File().EndCWFile();
  send.File().SendCWFile(&chooser, "");
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].text.rfind("Can't start CW file.\r\n(2) ", 0), 0u);
}

TEST_F(FileSending, StartingASecondFileAsksFirst) {
  const Text first = Utf8ToCp1252(Write("one.txt", std::string(200, 'E') + "\n"));
  const Text second = Utf8ToCp1252(Write("two.txt", "T\n"));
  send.File().SendCWFile(nullptr, first);
  typed.line = "ABC";
  send.Queue().QueueCW("MSG", 3);
  sink.answer = false;
  send.File().SendCWFile(nullptr, second);
  ASSERT_EQ(sink.questions.size(), 1u);
  EXPECT_EQ(sink.questions[0].title, "Send CW File");
  EXPECT_EQ(sink.questions[0].text, "CW file already in progress, stop it?");
  EXPECT_EQ(send.File().CWFileName(), first);
  EXPECT_EQ(send.Queue().Slot(3), "MSG");
  sink.answer = true;
  send.File().SendCWFile(nullptr, second);
  EXPECT_EQ(send.File().CWFileName(), "");  // two.txt was short: already all queued
  EXPECT_EQ(send.Queue().Slot(3), "");  // the stop emptied the whole queue
  EXPECT_EQ(typed.line, "");
}

TEST_F(FileSending, AFileNamedInAMessageGoesBeforeTheRestOfIt) {
  Observe();
  const std::string path = Write("DL1ABC.txt", "TEXT\n");
  settings.Message(2) = "#FILE " + Utf8ToCp1252(dir.File("#ME.txt")) + " K";
  send.SendMessage(2);
  Run(20000);
  ASSERT_EQ(queued.size(), 2u);
  EXPECT_EQ(queued[1].first, "TEXT\r\n");
  EXPECT_EQ(queued[1].second, 2);
  EXPECT_TRUE(sink.boxes.empty());
  EXPECT_TRUE(send.Idle());
}

TEST_F(FileSending, AFullQueueHoldsTheLineInsteadOfLosingIt) {
  send.Queue().QueueCW(Text("\xCD\x05"), 3);  // a pause holds everything back
  send.Queue().QueueCW(Text(32767 - 10, 'E'), 4);
  Observe();
  send.File().SendCWFile(nullptr, Utf8ToCp1252(Write("f.txt", "FIRST LINE HERE\nSECOND\n")));
  EXPECT_TRUE(queued.empty());
  EXPECT_EQ(beeper.beeps, 1);
  send.Queue().Clear();
  send.File().ReadCWFile();
  ASSERT_FALSE(queued.empty());
  EXPECT_EQ(queued[0].first, "FIRST LINE HERE\r\n");
}

}  // namespace
}  // namespace orvex
