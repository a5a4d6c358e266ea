#include "core/frame/choose_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>

#include "support/files.h"
#include "support/recording_sink.h"

namespace orvex {
namespace {

class ScriptedDialog : public FileDialogSeam {
 public:
  std::optional<std::string> Show(bool save, const Text&, const std::string& filter,
                                  const std::string& dir, const std::string&) override {
    shown.push_back({save, filter, dir});
    if (answers.empty()) return std::nullopt;
    auto a = answers.front();
    answers.pop_front();
    return a;
  }
  struct Shown {
    bool save;
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

TEST_F(Chooser, FoldersAndLogFilesAreRefusedAndTheDialogShownAgain) {
  test::WriteFile(dir.File("ok.txt"), "");
  auto chosen = Choose(FCH_CHECK_EXISTS | FCH_NO_LOG | FCH_FULL_PATH,
                       {dir.path(), dir.File("qso.LoG"), dir.File("ok.txt")});
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->name, dir.File("ok.txt"));
  EXPECT_FALSE(chosen->file);  // no open flag: nothing opened
  EXPECT_EQ(sink.boxes.size(), 2u);
  EXPECT_TRUE(Choose(FCH_NO_LOG, {dir.File("x.logs")}));
}

TEST_F(Chooser, TheExistingFileRules) {
  const std::string a = dir.File("a.txt");
  test::WriteFile(a, "OLD\n");
  EXPECT_FALSE(Choose(FCH_CHECK_EXISTS | FCH_NO_EXISTING | FCH_WARN_EXISTING, {a}));
  EXPECT_TRUE(sink.boxes.empty());
  EXPECT_FALSE(Choose(FCH_CHECK_EXISTS | FCH_WARN_EXISTING, {a}));
  EXPECT_EQ(sink.Last(), "Orvex|" + a + " already exists.");
  question.answer = kAnswerAppend;  // append wins over a replace flag
  auto appended = Choose(FCH_CHECK_EXISTS | FCH_ASK_APPEND | FCH_REPLACE, {a});
  ASSERT_TRUE(appended);
  fputs("NEW\n", appended->file.get());
  appended.reset();
  EXPECT_EQ(test::ReadFile(a), "OLD\nNEW\n");
  question.answer = kAnswerReplace;
  ASSERT_TRUE(Choose(FCH_CHECK_EXISTS | FCH_ASK_APPEND | FCH_APPEND, {a}));
  EXPECT_EQ(test::ReadFile(a), "");
}

TEST_F(Chooser, AFileThatCannotBeOpenedIsReportedAndTheDirectoryRestored) {
  char before[4096], after[4096];
  ASSERT_TRUE(getcwd(before, sizeof before));
  EXPECT_FALSE(Choose(FCH_READ, {dir.File("missing.txt")}));
  EXPECT_EQ(sink.Last(), "File Open|Couldn't open " + dir.File("missing.txt") +
                             ".\r\n(2) No such file or directory.");
  ASSERT_TRUE(getcwd(after, sizeof after));
  EXPECT_STREQ(before, after);
}

}  // namespace
}  // namespace orvex
