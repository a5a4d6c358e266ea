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

Result LineReader::Open(const std::string& path, std::unique_ptr<LineReader>* reader) {
  int fd = -1;
  if (Result opened = OpenRegularFile(path, &fd); !opened.ok()) return opened;
  std::FILE* f = ::fdopen(fd, "rb");
  if (!f) {
    const int err = errno;
    ::close(fd);
    return Result::FromErrno(Fault::Open, err);
  }
  struct stat st {};
  const long long size = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : -1;
  reader->reset(new LineReader(f, size));
  return Result::Ok();
}

LineReader::~LineReader() {
  std::fclose(file_);
}

Result LineReader::Next(Text* piece, bool* lineEnd, bool* end) {
  std::string bytes = std::move(carry_);
  carry_.clear();
  *lineEnd = false;
  *end = false;
  while (true) {
    const int c = std::getc(file_);
    if (c == EOF) {
      if (std::ferror(file_)) return Result::Failed(Fault::Read, errno ? errno : EIO);
      if (bytes.empty()) {
        *end = true;
        return Result::Ok();
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
  return Result::Ok();
}

}  // namespace orvex
