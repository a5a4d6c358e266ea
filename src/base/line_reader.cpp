#include "base/line_reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/atomic_file.h"

namespace orvex {
namespace {

// Bytes at the end of s that start a UTF-8 sequence not yet complete.
size_t IncompleteTail(const std::string& s) {
  for (size_t back = 1; back <= 3 && back <= s.size(); ++back) {
    const auto b = static_cast<unsigned char>(s[s.size() - back]);
    if ((b & 0xC0) == 0x80) continue;  // continuation: look further back
    const size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    return need > back ? back : 0;
  }
  return 0;
}

}  // namespace

std::unique_ptr<LineReader> LineReader::Open(const std::string& path, FileResult* result) {
  int err = 0;
  const int fd = OpenRegularFile(path, &err);
  std::FILE* f = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
  if (!f) {
    if (fd >= 0) ::close(fd);
    *result = FileResult::Failed(FileStage::Open, fd >= 0 ? errno : err);
    return nullptr;
  }
  *result = FileResult::Ok();
  struct stat st {};
  const long long size = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : -1;
  return std::unique_ptr<LineReader>(new LineReader(f, size));
}

LineReader::~LineReader() {
  std::fclose(file_);
}

FileResult LineReader::Next(Text* piece, bool* lineEnd, bool* end) {
  std::string bytes = std::move(carry_);
  carry_.clear();
  *lineEnd = false;
  *end = false;
  while (true) {
    const int c = std::getc(file_);
    if (c == EOF) {
      if (std::ferror(file_)) return FileResult::Failed(FileStage::Read, errno ? errno : EIO);
      if (bytes.empty()) {
        *end = true;
        return FileResult::Ok();
      }
      *lineEnd = true;
      break;
    }
    if (c == '\r' || c == '\n') {
      if (c == '\r') {
        const int next = std::getc(file_);
        if (next != '\n' && next != EOF) std::ungetc(next, file_);
      }
      *lineEnd = true;
      break;
    }
    bytes += static_cast<char>(c);
    if (bytes.size() >= kPieceBytes) {
      const size_t tail = IncompleteTail(bytes);
      carry_ = bytes.substr(bytes.size() - tail);
      bytes.resize(bytes.size() - tail);
      break;
    }
  }
  FileEncoding encoding = FileEncoding::Windows1252;
  *piece = DecodeFileText(bytes, &encoding);
  utf8_ = encoding == FileEncoding::Utf8;
  return FileResult::Ok();
}

}  // namespace orvex
