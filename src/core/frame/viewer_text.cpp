#include "core/frame/viewer_text.h"

#include "base/atomic_file.h"

namespace orvex {

Result ReadViewerText(const std::string& path, Text* out) {
  std::string bytes;
  out->clear();
  if (const Result read = ReadWholeFile(path, bytes); !read.ok()) {
    const Text what = read.fault() == Fault::Read ? "Can't read " : "Can't open ";
    return read.Told(what + Utf8ToCp1252(path) + Text(CRLF) + read.Description() + ".");
  }
  const Text text = DecodeFileText(bytes);
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\r' && text[i] != '\n') continue;
    if (i == text.size() && start == i) break;  // no empty line after the last line end
    *out += Text(CRLF) + "  " + text.substr(start, i - start);
    if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  return {};
}

}  // namespace orvex
