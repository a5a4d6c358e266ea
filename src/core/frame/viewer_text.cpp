#include "core/frame/viewer_text.h"

#include "base/atomic_file.h"

namespace orvex {

ViewerText ReadViewerText(const std::string& path) {
  std::string bytes;
  ViewerText out;
  out.result = ReadWholeFile(path, bytes);
  if (!out.result.ok()) {
    const Text what = out.result.failed() && out.result.stage() == FileStage::Read ? "Can't read "
                                                                                   : "Can't open ";
    out.error = what + Utf8ToCp1252(path) + Text(CRLF) + out.result.Description() + ".";
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
  return out;
}

}  // namespace orvex
