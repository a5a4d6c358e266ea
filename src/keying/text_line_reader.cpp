#include "keying/text_line_reader.h"

#include <cerrno>

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

std::unique_ptr<TextLineReader> TextLineReader::Open(const std::string& path, int* err) {
  std::FILE* f = std::fopen(path.c_str(), "rbe");
  if (!f) {
    *err = errno;
    return nullptr;
  }
  return std::unique_ptr<TextLineReader>(new TextLineReader(f));
}

TextLineReader::~TextLineReader() { std::fclose(file_); }

TextLineReader::Result TextLineReader::Next(Text* piece, bool* lineEnd, int* err) {
  std::string bytes = std::move(carry_);
  carry_.clear();
  *lineEnd = false;
  while (true) {
    const int c = std::getc(file_);
    if (c == EOF) {
      if (std::ferror(file_)) {
        *err = errno ? errno : EIO;
        return Result::Error;
      }
      if (bytes.empty()) return Result::End;
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
  *piece = DecodeFileText(bytes);
  return Result::Piece;
}

}  // namespace orvex
