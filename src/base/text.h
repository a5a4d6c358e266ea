// Text inside Orvex is a byte string of Windows-1252 codes: single codes carry
// meaning (200 to 207 are send-queue commands, 0 is legal inside macros), so
// we never hold program text in a Unicode type. Conversions happen at the
// edges only: here for UTF-8 (files, command line, terminal) and in
// qt_text.h for widgets.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvex {

using Text = std::string;

// Carriage return + line feed: ends every queued line and separates the lines
// of every multi-line message box.
inline constexpr std::string_view CRLF = "\r\n";

// How a text file was stored on disk, so a rewrite keeps what the operator's
// editor expects.
enum class FileEncoding { Windows1252, Utf8 };

bool IsValidUtf8(std::string_view bytes);
bool IsAscii(std::string_view bytes);

// Characters that Windows-1252 cannot hold (Cyrillic, "ł") are kept in the
// program text as a sequence of codes that have no Morse and no command
// meaning: they are never keyed and never lost.
std::string Cp1252ToUtf8(std::string_view text);
Text Utf8ToCp1252(std::string_view utf8);
// The first length codes of text, shorter rather than through a character.
Text CutText(std::string_view text, size_t length);
// How many codes the character at text[i] takes: more than one for a
// character Windows-1252 cannot hold, so a view can show it as one.
size_t CharLength(std::string_view text, size_t i);

// Decodes file contents: UTF-8 (a leading byte-order mark is dropped) when
// the bytes hold non-ASCII characters and are valid UTF-8, else Windows-1252.
Text DecodeFileText(std::string_view bytes, FileEncoding* encoding = nullptr);
// Encodes for a file; text that Windows-1252 cannot hold is written UTF-8.
std::string EncodeFileText(std::string_view text, FileEncoding encoding);

// Blanks (spaces) removed at both ends.
Text TrimBlanks(std::string_view text);
// Control bytes (below 32 but CR, LF and tab, and 127) as "\xNN": text read
// from a file and shown to the operator never carries them raw.
Text Printable(std::string_view text);
// Upper case over the Windows-1252 letters, accented ones included.
Text UpperCase(std::string_view text);
Text ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// The classic print form of a number: a blank in place of the sign of a
// non-negative number, "-" for a negative one, then the digits.
Text SignedDigits(long long value);

}  // namespace orvex
