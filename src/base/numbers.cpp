#include "base/numbers.h"

#include <locale.h>
#include <stdlib.h>

#include <cfenv>
#include <charconv>
#include <cmath>
#include <string>

namespace orvex {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Length of the number at the start of text (0 when there is none), in the
// form sign? digits* ('.' digits*)? (exponent)?, with at least one digit in
// the mantissa. An exponent marker counts only when digits follow it.
size_t NumberLength(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) ++j;
      i = j;
    }
  }
  return i;
}

double ToDouble(std::string_view number) {
  // Read in the C locale whatever locale the program runs in (the toolkit
  // sets the user's): "." is always the decimal point.
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
  const std::string s(number);
  return strtod_l(s.c_str(), nullptr, c);
}

}  // namespace

Text DecimalText(float value) {
  if (value == 0) value = 0;  // no "-0"
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  Text digits(buf, res.ptr);
  for (char& c : digits)
    if (c == 'e') c = 'E';
  return digits;
}

std::optional<long long> RoundHalfEven(double value, long long lo, long long hi) {
  if (!std::isfinite(value)) return std::nullopt;
  const int saved = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double r = std::nearbyint(value);
  std::fesetround(saved);
  if (r < static_cast<double>(lo) || r > static_cast<double>(hi)) return std::nullopt;
  return static_cast<long long>(r);
}

double LeadingNumber(std::string_view text) {
  const size_t n = NumberLength(text);
  return n == 0 ? 0.0 : ToDouble(text.substr(0, n));
}

std::optional<double> ParseNumber(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  const std::string_view core = text.substr(b, e - b);
  if (core.empty() || NumberLength(core) != core.size()) return std::nullopt;
  return ToDouble(core);
}

bool IsNumberInRange(std::string_view text, int16_t lower, int16_t upper, int16_t* number) {
  long long value = 0;
  if (!WholeNumber(text, INT16_MIN, INT16_MAX, &value)) return false;
  if (number) *number = static_cast<int16_t>(value);
  return lower <= value && value <= upper;
}

bool WholeNumber(std::string_view text, long long lower, long long upper, long long* number) {
  const auto parsed = ParseNumber(text);
  if (!parsed) return false;
  const auto rounded = RoundHalfEven(*parsed, lower, upper);
  if (rounded && number) *number = *rounded;
  return rounded.has_value();
}

Text GroupedNumber(long long value) {
  // Unsigned, so that the most negative value has a magnitude too.
  const auto magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                   : static_cast<unsigned long long>(value);
  const Text digits = std::to_string(magnitude);
  Text out = value < 0 ? "-" : "";
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace orvex
