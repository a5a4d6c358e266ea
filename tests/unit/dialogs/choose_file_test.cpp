#include "dialogs/choose_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>

#include "dialogs/text_file.h"
#include "app/program_paths.h"
#include "test_support.h"

namespace orvex {
namespace {

class ScriptedDialog : public FileDialogSeam {
 public:
  std::optional<std::string> Show(bool save, const Text& title, const std::string& filter,
                                  const std::string& dir, const std::string&) override {
    shown.push_back({save, title, filter, dir});
    if (answers.empty()) return std::nullopt;
    auto a = answers.front();
    answers.pop_front();
    return a;
  }
  struct Shown {
    bool save;
    Text title;
    std::string filter, dir;
  };
  std::deque<std::optional<std::string>> answers;
  std::vector<Shown> shown;
};

class FixedQuestion : public AppendQuestionSeam {
 public:
  int Ask(const Text& message) override {
    asked.push_back(message);
    return answer;
  }
  int answer = kAnswerCancel;
  std::vector<Text> asked;
};

class Chooser : public ::testing::Test {
 protected:
  std::optional<ChosenFile> Choose(int flags) {
    return ChooseFile(flags, dir.path(), "", "", "Pick", dialog, question, sink);
  }
  test::TempDir dir;
  ScriptedDialog dialog;
  FixedQuestion question;
  test::RecordingSink sink;
};

TEST_F(Chooser, ReadingAnExistingFileGivesItsBareNameAndOpensIt) {
  test::WriteFile(dir.File("log.txt"), "LINE\n");
  dialog.answers = {dir.File("log.txt")};
  auto chosen = Choose(FCH_READ);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->name, "log.txt");
  EXPECT_EQ(chosen->path, dir.File("log.txt"));
  ASSERT_TRUE(chosen->file);
  char buf[8] = {};
  EXPECT_TRUE(fgets(buf, sizeof buf, chosen->file.get()));
  EXPECT_STREQ(buf, "LINE\n");
  EXPECT_FALSE(dialog.shown[0].save);
  EXPECT_EQ(dialog.shown[0].filter, "All Files (*.*) (*)");
  EXPECT_EQ(dialog.shown[0].dir, dir.path());
  EXPECT_TRUE(question.asked.empty());
}

TEST_F(Chooser, CancelAndEmptyNamesEndQuietly) {
  EXPECT_FALSE(Choose(FCH_READ));
  dialog.answers = {std::string()};
  EXPECT_FALSE(Choose(FCH_READ));
  EXPECT_TRUE(sink.boxes.empty());
}

TEST_F(Chooser, FoldersAndLogFilesAreRefusedAndTheDialogShownAgain) {
  test::WriteFile(dir.File("ok.txt"), "");
  dialog.answers = {dir.path(), dir.File("qso.LoG"), dir.File("ok.txt")};
  auto chosen = Choose(FCH_CHECK_EXISTS | FCH_NO_LOG | FCH_FULL_PATH);
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->name, dir.File("ok.txt"));
  EXPECT_FALSE(chosen->file);  // no open flag: nothing opened
  ASSERT_EQ(sink.boxes.size(), 2u);
  EXPECT_EQ(sink.boxes[0].text, dir.path() + " is a folder, please choose a file name.");
  EXPECT_EQ(sink.boxes[1].text,
            "Log files not allowed, please choose a file name without a .log extension.");
  EXPECT_EQ(sink.boxes[1].title, "Pick");
  EXPECT_EQ(dialog.shown.size(), 3u);
  dialog.answers = {dir.File("x.logs")};
  EXPECT_TRUE(Choose(FCH_NO_LOG));
}

TEST_F(Chooser, TheExistingFileRules) {
  test::WriteFile(dir.File("a.txt"), "OLD\n");
  dialog.answers = {dir.File("a.txt")};
  EXPECT_FALSE(Choose(FCH_CHECK_EXISTS | FCH_NO_EXISTING | FCH_WARN_EXISTING));
  EXPECT_TRUE(sink.boxes.empty());
  dialog.answers = {dir.File("a.txt")};
  EXPECT_FALSE(Choose(FCH_CHECK_EXISTS | FCH_WARN_EXISTING));
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].text, dir.File("a.txt") + " already exists.");
  EXPECT_FALSE(sink.boxes[0].warning);

  // Append answers append, even where the flags said replace.
  question.answer = kAnswerAppend;
  dialog.answers = {dir.File("a.txt")};
  auto appended = Choose(FCH_CHECK_EXISTS | FCH_ASK_APPEND | FCH_REPLACE);
  ASSERT_TRUE(appended);
  EXPECT_TRUE(dialog.shown.back().save);
  fputs("NEW\n", appended->file.get());
  appended.reset();
  EXPECT_EQ(test::ReadFile(dir.File("a.txt")), "OLD\nNEW\n");
  EXPECT_EQ(question.asked.back(),
            dir.File("a.txt") + " already exists.\r\n\r\nReplace it or append to end?");

  question.answer = kAnswerReplace;
  dialog.answers = {dir.File("a.txt")};
  auto replaced = Choose(FCH_CHECK_EXISTS | FCH_ASK_APPEND | FCH_APPEND);
  ASSERT_TRUE(replaced);
  replaced.reset();
  EXPECT_EQ(test::ReadFile(dir.File("a.txt")), "");

  question.answer = kAnswerCancel;
  dialog.answers = {dir.File("a.txt")};
  EXPECT_FALSE(Choose(FCH_CHECK_EXISTS | FCH_ASK_APPEND | FCH_APPEND));
}

TEST_F(Chooser, AFileThatCannotBeOpenedIsReportedAndTheDirectoryRestored) {
  char before[4096];
  ASSERT_TRUE(getcwd(before, sizeof before));
  dialog.answers = {dir.File("missing.txt")};
  EXPECT_FALSE(Choose(FCH_READ));
  ASSERT_EQ(sink.boxes.size(), 1u);
  EXPECT_EQ(sink.boxes[0].title, "File Open");
  EXPECT_EQ(sink.boxes[0].text,
            "Couldn't open " + dir.File("missing.txt") + ".\r\n(2) No such file or directory.");
  char after[4096];
  ASSERT_TRUE(getcwd(after, sizeof after));
  EXPECT_STREQ(before, after);
}

TEST(FileNames, PartsFiltersAndAttributes) {
  EXPECT_EQ(FileNamePart("/home/op/log.txt", false), "log.txt");
  EXPECT_EQ(FileNamePart("/home/op/log.txt", true), "log");
  EXPECT_EQ(FileNamePart("log", true), "log");
  EXPECT_EQ(FileNamePart("log.txt", false), "log.txt");
  EXPECT_EQ(QtFilterList("Text (*.txt)|*.txt;*.asc|All Files (*.*)|*.*"),
            "Text (*.txt) (*.txt *.asc);;All Files (*.*) (*)");
  EXPECT_EQ(FileAttributes("/nonexistent/x"), -1);
  EXPECT_EQ(FileAttributes("/tmp") & 0x10, 0x10);
}

TEST(ViewerText, LinesAreIndentedAfterALineBreak) {
  test::TempDir dir;
  test::WriteFile(dir.File("r.txt"), "one\r\ntwo\n\xC3\x89T\xC3\x89\n");
  const ViewerText v = ReadViewerText(dir.File("r.txt"));
  ASSERT_TRUE(v.ok);
  EXPECT_EQ(v.text, "\r\n  one\r\n  two\r\n  \xC9T\xC9");
  test::WriteFile(dir.File("e.txt"), "");
  EXPECT_EQ(ReadViewerText(dir.File("e.txt")).text, "");
  const ViewerText missing = ReadViewerText(dir.File("changes.txt"));
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.error,
            "Can't open " + dir.File("changes.txt") + "\r\nNo such file or directory.");
  EXPECT_EQ(ReadViewerText(dir.path()).error.rfind("Can't open ", 0), 0u);
}

TEST(ShippedFiles, TheProgramDirectoryFirstThenTheInstalledCopy) {
  test::TempDir prog, shipped;
  test::WriteFile(shipped.File("pelo.hlp"), "x");
  EXPECT_EQ(ShippedFilePath("pelo.hlp", prog.path(), shipped.path()), shipped.File("pelo.hlp"));
  test::WriteFile(prog.File("pelo.hlp"), "mine");
  EXPECT_EQ(ShippedFilePath("pelo.hlp", prog.path(), shipped.path()), prog.File("pelo.hlp"));
  EXPECT_EQ(ShippedFilePath("readme.txt", prog.path(), shipped.path()), prog.File("readme.txt"));
}

}  // namespace
}  // namespace orvex
