#include "core/frame/choose_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "base/message.h"
#include "base/string_search.h"

namespace orvex {
namespace {

// Puts the current directory back however ChooseFile ends.
class KeepCurrentDir {
 public:
  KeepCurrentDir() {
    char buf[PATH_MAX];
    if (getcwd(buf, sizeof buf)) dir_ = buf;
  }
  ~KeepCurrentDir() {
    if (!dir_.empty()) [[maybe_unused]]
      int r = chdir(dir_.c_str());
  }

 private:
  std::string dir_;
};

}  // namespace

std::string QtFilterList(const Text& filter) {
  const Text list = filter.empty() ? Text("All Files (*.*)|*.*") : filter;
  std::string out;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t bar = list.find('|', start);
    const Text description = list.substr(start, bar == Text::npos ? Text::npos : bar - start);
    if (bar == Text::npos) break;
    const size_t end = list.find('|', bar + 1);
    Text patterns = list.substr(bar + 1, end == Text::npos ? Text::npos : end - bar - 1);
    patterns = ReplaceAll(patterns, ";", " ");
    if (patterns == "*.*") patterns = "*";
    if (!out.empty()) out += ";;";
    out += Cp1252ToUtf8(description) + " (" + Cp1252ToUtf8(patterns) + ")";
    if (end == Text::npos) break;
    start = end + 1;
  }
  return out;
}

int FileAttributes(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return -1;
  int attributes = 0;
  if (S_ISDIR(st.st_mode)) attributes |= 0x10;
  if (::access(path.c_str(), W_OK) != 0) attributes |= 0x01;  // read-only
  return attributes;
}

Text FileNamePart(const Text& path, bool stripExtension) {
  Text s = path;
  if (stripExtension) {
    const int dot = FindBackward(static_cast<int>(s.size()), s, ".");
    if (dot > 0) s = s.substr(0, static_cast<size_t>(dot - 1));
  }
  const int slash = FindBackward(static_cast<int>(s.size()), s, "/");
  if (slash > 0) s = s.substr(static_cast<size_t>(slash));
  return s;
}

std::optional<ChosenFile> ChooseFile(int flags, const std::string& initialDir, const Text& fileName,
                                     const Text& filter, const Text& title, FileDialogSeam& dialog,
                                     AppendQuestionSeam& question, MessageSink& sink) {
  KeepCurrentDir keep;
  const bool save = flags & (FCH_REPLACE | FCH_APPEND);
  const std::string qtFilter = QtFilterList(filter);
  std::string chosen;
  while (true) {
    const auto path = dialog.Show(save, title, qtFilter, initialDir, Cp1252ToUtf8(fileName));
    if (!path || path->empty()) return std::nullopt;
    chosen = *path;
    const Text name = Utf8ToCp1252(chosen);
    if ((flags & FCH_NO_LOG) && name.size() >= 4 &&
        UpperCase(name.substr(name.size() - 4)) == ".LOG") {
      sink.Warning(title,
                   "Log files not allowed, please choose a file name without a .log extension.");
      continue;
    }
    if (!(flags & FCH_CHECK_EXISTS)) break;
    const int attributes = FileAttributes(chosen);
    if (attributes < 0) break;
    if (attributes & 0x10) {
      sink.Warning(title, name + " is a folder, please choose a file name.");
      continue;
    }
    if (flags & FCH_NO_EXISTING) return std::nullopt;
    if (flags & FCH_WARN_EXISTING) {
      sink.Information("Orvex", name + " already exists.");
      return std::nullopt;
    }
    if (flags & FCH_ASK_APPEND) {
      const int answer = question.Ask(name + " already exists." + Text(CRLF) + Text(CRLF) +
                                      "Replace it or append to end?");
      if (answer == kAnswerAppend)
        flags = (flags & ~FCH_REPLACE) | FCH_APPEND;
      else if (answer == kAnswerReplace)
        flags = (flags & ~FCH_APPEND) | FCH_REPLACE;
      else
        return std::nullopt;
    }
    break;
  }

  ChosenFile out;
  out.path = chosen;
  const char* mode = (flags & FCH_REPLACE)  ? "we"
                     : (flags & FCH_READ)   ? "re"
                     : (flags & FCH_APPEND) ? "ae"
                                            : nullptr;
  if (mode) {
    out.file.reset(std::fopen(chosen.c_str(), mode));
    if (!out.file) {
      ShowMessage(sink, "Couldn't open " + Utf8ToCp1252(chosen),
                  Result::FromErrno(Fault::Open, errno), "File Open");
      return std::nullopt;
    }
  }
  out.name =
      (flags & FCH_FULL_PATH) ? Utf8ToCp1252(chosen) : FileNamePart(Utf8ToCp1252(chosen), false);
  return out;
}

}  // namespace orvex
