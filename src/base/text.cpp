#include "base/text.h"

namespace orvex {
namespace {

// Unicode code points of Windows-1252 bytes 0x80 to 0x9F. The five codes the
// code page leaves undefined map to the C1 control of the same value, so
// every byte survives a round trip.
constexpr char32_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 sequence at bytes[i]; returns its length, 0 when invalid.
size_t DecodeOne(std::string_view bytes, size_t i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(bytes[i]);
  size_t len;
  char32_t min;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > bytes.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(bytes[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

int Cp1252FromCodePoint(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int k = 0; k < 32; ++k)
    if (kHigh[k] == cp) return 0x80 + k;
  return -1;
}

// A character Windows-1252 has no code for travels inside program text as
// kWideMark and six bytes 0x90 + one hex digit of its code point each, most
// significant first. None of these bytes has a Morse code or a queue
// command's meaning, so such a character is never keyed, but it comes back
// whole wherever the text is shown or written.
constexpr unsigned char kWideMark = 0x81;
constexpr size_t kWideLength = 7;

void AppendWide(Text& out, char32_t cp) {
  out += static_cast<char>(kWideMark);
  for (int shift = 20; shift >= 0; shift -= 4)
    out += static_cast<char>(0x90 + ((cp >> shift) & 0xF));
}

// The code point of a wide character at text[i], or 0 when none starts there.
char32_t WideAt(std::string_view text, size_t i) {
  if (static_cast<unsigned char>(text[i]) != kWideMark || i + kWideLength > text.size()) return 0;
  char32_t cp = 0;
  for (size_t k = 1; k < kWideLength; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if (b < 0x90 || b > 0x9F) return 0;
    cp = (cp << 4) | (b - 0x90);
  }
  return cp <= 0x10FFFF ? cp : 0;
}

// A byte of Windows-1252 text. Its undefined 0x81 takes the wide form, so a
// 0x81 in program text always starts a wide character and never reads one
// way or the other depending on the bytes after it.
void AppendCp1252Byte(Text& out, char c) {
  if (static_cast<unsigned char>(c) == kWideMark)
    AppendWide(out, kWideMark);
  else
    out += c;
}

}  // namespace

Text CutText(std::string_view text, size_t length) {
  if (text.size() <= length) return Text(text);
  size_t end = length;
  // Never through the middle of a wide character.
  for (size_t i = end > kWideLength ? end - kWideLength + 1 : 0; i < end; ++i)
    if (WideAt(text, i) != 0 && i + kWideLength > end) {
      end = i;
      break;
    }
  return Text(text.substr(0, end));
}

size_t CharLength(std::string_view text, size_t i) {
  return i < text.size() && WideAt(text, i) != 0 ? kWideLength : 1;
}

bool IsValidUtf8(std::string_view bytes) {
  char32_t cp;
  for (size_t i = 0; i < bytes.size();) {
    const size_t n = DecodeOne(bytes, i, cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

bool IsAscii(std::string_view bytes) {
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (const char32_t wide = WideAt(text, i)) {
      AppendUtf8(out, wide);
      i += kWideLength - 1;
      continue;
    }
    const auto b = static_cast<unsigned char>(text[i]);
    AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char32_t{b});
  }
  return out;
}

Text Utf8ToCp1252(std::string_view utf8) {
  Text out;
  out.reserve(utf8.size());
  char32_t cp;
  for (size_t i = 0; i < utf8.size();) {
    size_t n = DecodeOne(utf8, i, cp);
    if (n == 0) {  // not UTF-8 after all: keep the byte as it is
      AppendCp1252Byte(out, utf8[i++]);
      continue;
    }
    i += n;
    const int code = Cp1252FromCodePoint(cp);
    if (code < 0 || code == kWideMark)
      AppendWide(out, cp);
    else
      out += static_cast<char>(code);
  }
  return out;
}

Text DecodeFileText(std::string_view bytes, FileEncoding* encoding) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  const bool bom = bytes.substr(0, 3) == kBom;
  if (bom) bytes.remove_prefix(3);
  // Plain ASCII reads the same either way; it counts as Windows-1252, the
  // encoding a new file is written in, so a file keeps one encoding for life.
  const bool utf8 = (bom || !IsAscii(bytes)) && IsValidUtf8(bytes);
  if (encoding) *encoding = utf8 ? FileEncoding::Utf8 : FileEncoding::Windows1252;
  if (utf8) return Utf8ToCp1252(bytes);
  Text text;
  text.reserve(bytes.size());
  for (char c : bytes) AppendCp1252Byte(text, c);
  return text;
}

std::string EncodeFileText(std::string_view text, FileEncoding encoding) {
  // A character Windows-1252 cannot hold makes the file UTF-8: a changed
  // encoding is better than a lost character. So do Windows-1252 bytes that
  // happen to be valid UTF-8 ("Ã‰" is C3 89, which reads back as "É"):
  // written as they are, the next read would change the text.
  if (encoding == FileEncoding::Windows1252) {
    std::string bytes;
    bytes.reserve(text.size());
    bool fits = true;
    for (size_t i = 0; i < text.size() && fits; ++i) {
      const char32_t wide = WideAt(text, i);
      if (wide == 0) {
        bytes += text[i];
      } else if (wide == kWideMark) {  // the page's own 0x81, read from such a file
        bytes += static_cast<char>(kWideMark);
        i += kWideLength - 1;
      } else {
        fits = false;
      }
    }
    if (fits && (IsAscii(bytes) || !IsValidUtf8(bytes))) return bytes;
  }
  return Cp1252ToUtf8(text);
}

Text TrimBlanks(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  return Text(text.substr(b, e - b));
}

Text UpperCase(std::string_view text) {
  Text out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    if (WideAt(out, i) != 0) {  // left as it is
      i += kWideLength - 1;
      continue;
    }
    char& c = out[i];
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7))
      c = static_cast<char>(b - 0x20);
    else if (b == 0x9A || b == 0x9C || b == 0x9E)
      c = static_cast<char>(b - 0x10);
    else if (b == 0xFF)
      c = static_cast<char>(0x9F);
  }
  return out;
}

Text ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  Text out;
  size_t pos = 0;
  while (true) {
    const size_t hit = from.empty() ? std::string_view::npos : text.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

Text SignedDigits(long long value) {
  // Built by appending: "literal" + std::string trips a false -Wrestrict
  // warning in g++ 12.
  Text out(1, value < 0 ? '-' : ' ');
  out += value < 0 ? std::to_string(-(value + 1) + 1ULL) : std::to_string(value);
  return out;
}

Text Printable(std::string_view text) {
  Text out;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c < 32 && c != '\r' && c != '\n' && c != '\t') || c == 127) {
      static const char* const kHex = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

}  // namespace orvex
