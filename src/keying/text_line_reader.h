// Reads a text file line by line without loading it whole. Lines may end in
// CRLF, LF or CR. A line longer than a piece comes in several pieces, so a
// file that is not text (one endless line) never takes all memory. Each
// piece is decoded as UTF-8 when it is valid UTF-8, else as Windows-1252.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "app/text.h"

namespace orvex {

class TextLineReader {
 public:
  static constexpr size_t kPieceBytes = 1000;

  // nullptr with *err set when the file cannot be opened.
  static std::unique_ptr<TextLineReader> Open(const std::string& path, int* err);
  ~TextLineReader();

  enum class Result { Piece, End, Error };
  // The next piece; *lineEnd tells whether it ends its line (the last line
  // of a file needs no line end). *err is set on Error.
  Result Next(Text* piece, bool* lineEnd, int* err);

 private:
  explicit TextLineReader(std::FILE* f) : file_(f) {}
  std::FILE* file_;
  std::string carry_;  // the start of a UTF-8 character cut off a piece
};

}  // namespace orvex
