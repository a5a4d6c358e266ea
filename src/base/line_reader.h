// Reads a text file line by line without loading it whole. Lines may end in
// CRLF, LF or CR. A line longer than a piece comes in several pieces, so a
// file that is not text (one endless line) never takes all memory. Each
// piece is decoded as UTF-8 when it is valid UTF-8, else as Windows-1252.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "base/result.h"

namespace orvex {

class LineReader {
 public:
  static constexpr size_t kPieceBytes = 1000;

  // Opens path into *reader.
  static Result Open(const std::string& path, std::unique_ptr<LineReader>* reader);
  ~LineReader();

  // The next piece. *lineEnd tells whether it ends its line (the last line
  // of a file needs no line end); *end is set, with no piece, once the file
  // is done. A read error comes back as a failed result.
  Result Next(Text* piece, bool* lineEnd, bool* end);
  // Bytes read so far, and the file's size when it has one (-1 if not).
  long long Position() const { return std::ftell(file_); }
  long long Size() const { return size_; }
  // The last piece was UTF-8 (not plain ASCII, not Windows-1252).
  bool LastPieceUtf8() const { return utf8_; }

 private:
  LineReader(std::FILE* f, long long size) : file_(f), size_(size) {}
  std::FILE* file_;
  long long size_;
  bool utf8_ = false;
  std::string carry_;  // the start of a UTF-8 character cut off a piece
};

}  // namespace orvex
