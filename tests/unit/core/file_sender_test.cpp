#include "core/sending/file_sender.h"

#include <gtest/gtest.h>

#include <deque>

#include "core/frame/choose_file.h"
#include "support/files.h"
#include "support/send_harness.h"

namespace orvex {
namespace {

class FileSending : public ::testing::Test, public test::SendHarness {
 protected:
  FileSending() { settings.MyCall = "DL1ABC"; }
  Text Write(const std::string& name, const std::string& bytes) {
    test::WriteFile(dir.File(name), bytes);
    return Utf8ToCp1252(dir.File(name));
  }
  test::TempDir dir;
};

TEST_F(FileSending, ShortLinesAreReadAheadUntilTwentyCharactersWaitThroughTheLimitedMacros) {
  const Text path = Write("a.txt", "CQ\r\nDE\n#ME #PAUSE 5 #MSG1\rK\r\nTU 73 GL ES HPE CUAGN\nEND");
  (void)send.SendFile(nullptr, path);
  EXPECT_EQ(send.CWFileName(), path);
  EXPECT_LT(queued.queued.size(), 6u);  // not the whole file at once
  RunFor(30000);
  EXPECT_EQ(queued.All(),
            "CQ\r\nDE\r\nDL1ABC #PAUSE 5 #MSG1\r\nK\r\nTU 73 GL ES HPE CUAGN\r\nEND\r\n");
  EXPECT_EQ(send.CWFileName(), "");
}

TEST_F(FileSending, EmptyFilesEmptyLinesEncodingsAndEndlessLines) {
  (void)send.SendFile(nullptr, Write("empty.txt", ""));
  EXPECT_EQ(send.CWFileName(), "");
  (void)send.SendFile(nullptr, Write("enc.txt", "\n\xC3\x89T\xC3\x89\n\xC9T\xC9\n"));
  RunFor(10000);
  EXPECT_EQ(queued.All(), "\r\n\xC9T\xC9\r\n\xC9T\xC9\r\n");
  queued.queued.clear();
  std::string junk(1 << 20, 'E');  // one endless line: sent in pieces
  junk[5] = '\0';
  (void)send.SendFile(nullptr, Write("junk.bin", junk));
  EXPECT_EQ(queued.queued.at(0).first.size(), LineReader::kPieceBytes);
  EXPECT_EQ(queued.queued[0].first[5], '\0');
}

TEST_F(FileSending, OpenAndReadFailuresHaveTheirBoxes) {
  (void)send.SendFile(nullptr, Utf8ToCp1252(dir.path()));  // a directory is not opened at all
  EXPECT_EQ(sink.Last(),
            "CW Start|Can't send file '" + dir.path() + "' as CW.\r\n(21) Is a directory.");
  EXPECT_EQ(send.CWFileName(), "");
}

// A message's #FILE while a file is sent: no question from inside the
// pump; the running transfer and the queue go on untouched.
TEST_F(FileSending, AFileNamedDuringATransferIsNotStartedAndNothingElseChanges) {
  const Text first = Write("one.txt", std::string(200, 'E') + "\n");
  (void)send.SendFile(nullptr, first);
  send.Queue().QueueCW("MSG", Slot::Message);
  const Text second = Write("two.txt", "T\n");
  EXPECT_FALSE(send.SendFile(nullptr, second).ok());
  EXPECT_EQ(send.CWFileName(), first);
  EXPECT_EQ(send.Queue().SlotText(Slot::Message), "MSG");
}

TEST_F(FileSending, AFullQueueHoldsTheLineInsteadOfLosingIt) {
  send.Queue().QueueCW({static_cast<char>(kCodePause), 5},
                       Slot::Message);  // a pause holds everything back
  send.Queue().QueueCW(Text(32767 - 10, 'E'), Slot::Typed);
  queued.queued.clear();
  (void)send.SendFile(nullptr, Write("f.txt", "FIRST LINE HERE\nSECOND\n"));
  EXPECT_TRUE(queued.queued.empty());
  EXPECT_EQ(beeper.beeps, 1);
  send.Queue().Clear();
  send.Tick();
  ASSERT_FALSE(queued.queued.empty());
  EXPECT_EQ(queued.queued[0].first, "FIRST LINE HERE\r\n");
}

// The chooser itself, over a scripted dialog: reading opens the file.
class ScriptedDialog : public FileDialogSeam {
 public:
  std::optional<std::string> Show(bool, const Text&, const std::string&, const std::string&,
                                  const std::string&) override {
    if (answers.empty()) return std::nullopt;
    auto a = answers.front();
    answers.pop_front();
    return a;
  }
  std::deque<std::optional<std::string>> answers;
};

class FixedQuestion : public AppendQuestionSeam {
 public:
  int Ask(const Text&) override { return answer; }
  int answer = kAnswerCancel;
};

class Chooser : public ::testing::Test {
 protected:
  std::optional<ChosenFile> Choose(int flags, std::deque<std::optional<std::string>> answers) {
    dialog.answers = std::move(answers);
    return ChooseFile(flags, dir.path(), "", "", "Pick", dialog, question, sink);
  }
  test::TempDir dir;
  ScriptedDialog dialog;
  FixedQuestion question;
  test::RecordingSink sink;
};

TEST_F(Chooser, ReadingGivesTheBareNameOpenAndCancelEndsQuietly) {
  test::WriteFile(dir.File("log.txt"), "LINE\n");
  auto chosen = Choose(FCH_READ, {dir.File("log.txt")});
  ASSERT_TRUE(chosen && chosen->file);
  EXPECT_EQ(chosen->name, "log.txt");
  char buf[8] = {};
  EXPECT_TRUE(fgets(buf, sizeof buf, chosen->file.get()));
  EXPECT_STREQ(buf, "LINE\n");
  EXPECT_FALSE(Choose(FCH_READ, {}));
  EXPECT_FALSE(Choose(FCH_READ, {std::string()}));
  EXPECT_TRUE(sink.boxes.empty());
}

}  // namespace
}  // namespace orvex
