// ChooseFile: picking a file in the file dialog, checking the choice and
// opening it, steered by flags. The dialog and the Replace/Append question
// come in through seams, so every flag path can be tested without a display.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "base/message_sink.h"

namespace orvex {

enum ChooseFileFlags : int {
  FCH_CHECK_EXISTS = 0x0001,
  FCH_ASK_APPEND = 0x0002,
  FCH_NO_EXISTING = 0x0004,
  FCH_WARN_EXISTING = 0x0008,
  FCH_READ = 0x0010,
  FCH_REPLACE = 0x0020,
  FCH_APPEND = 0x0040,
  FCH_FULL_PATH = 0x0080,
  FCH_NO_LOG = 0x0100,
};

// Answers of the FileAppend question.
inline constexpr int kAnswerCancel = 3;
inline constexpr int kAnswerAppend = 5;
inline constexpr int kAnswerReplace = 6;

class FileDialogSeam {
 public:
  virtual ~FileDialogSeam() = default;
  // The chosen native path, or nullopt when cancelled. qtFilter is the
  // filter list in Qt's "Description (patterns);;..." form, UTF-8.
  virtual std::optional<std::string> Show(bool save, const Text& title, const std::string& qtFilter,
                                          const std::string& initialDir,
                                          const std::string& fileName) = 0;
};

class AppendQuestionSeam {
 public:
  virtual ~AppendQuestionSeam() = default;
  // The FileAppend dialog: kAnswerReplace, kAnswerAppend or kAnswerCancel.
  virtual int Ask(const Text& message) = 0;
};

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

struct ChosenFile {
  Text name;         // the bare name, or the full path with FCH_FULL_PATH
  std::string path;  // the full native path
  OpenFile file;     // open when the flags asked for it
};

// "Description|pattern|..." to Qt's form; "" means "All Files (*.*)|*.*".
// "*.*" matches every file, as it does where the list comes from.
std::string QtFilterList(const Text& filter);

// The file system attributes of path (0x10 a folder), or -1.
int FileAttributes(const std::string& path);

// The file's name from a path: folders (and a drive) cut off, the
// extension too when asked.
Text FileNamePart(const Text& path, bool stripExtension);

// Shows the dialog, checks the choice by the flags and opens the file; the
// current directory is the same afterwards in every case.
std::optional<ChosenFile> ChooseFile(int flags, const std::string& initialDir, const Text& fileName,
                                     const Text& filter, const Text& title, FileDialogSeam& dialog,
                                     AppendQuestionSeam& question, MessageSink& sink);

}  // namespace orvex
