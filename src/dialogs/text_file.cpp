#include "dialogs/text_file.h"

#include "app/message.h"
#include "config/atomic_file.h"

namespace orvex {

ViewerText ReadViewerText(const std::string& path) {
  std::string bytes;
  FileFailure failure{};
  const ReadOutcome outcome = ReadWholeFile(path, bytes, &failure);
  ViewerText out;
  if (outcome != ReadOutcome::Ok) {
    const int err = outcome == ReadOutcome::Missing ? ENOENT : failure.err;
    const Text what = outcome == ReadOutcome::Failed && failure.stage == FileStage::Read
                          ? "Can't read "
                          : "Can't open ";
    out.error = what + Utf8ToCp1252(path) + Text(CRLF) + ErrorFromErrno(err).description + ".";
    return out;
  }
  const Text text = DecodeFileText(bytes);
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\r' && text[i] != '\n') continue;
    if (i == text.size() && start == i) break;  // no empty line after the last line end
    out.text += Text(CRLF) + "  " + text.substr(start, i - start);
    if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  out.ok = true;
  return out;
}

}  // namespace orvex
