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

std::string Cp1252ToUtf8(std::string_view text);
// Characters that Windows-1252 cannot hold become '?'; *lossy tells.
Text Utf8ToCp1252(std::string_view utf8, bool* lossy = nullptr);

// Decodes file contents: UTF-8 (a leading byte-order mark is dropped) when
// the bytes hold non-ASCII characters and are valid UTF-8, else Windows-1252.
Text DecodeFileText(std::string_view bytes, FileEncoding* encoding = nullptr);
std::string EncodeFileText(std::string_view text, FileEncoding encoding);

// Blanks (spaces) removed at both ends.
Text TrimBlanks(std::string_view text);
// Upper case over the Windows-1252 letters, accented ones included.
Text UpperCase(std::string_view text);
Text ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// The classic print form of a number: a blank in place of the sign of a
// non-negative number, "-" for a negative one, then the digits.
Text SignedDigits(long long value);

}  // namespace orvex
