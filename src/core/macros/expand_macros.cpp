#include "core/macros/expand_macros.h"

#include <algorithm>
#include <cmath>

#include "base/numbers.h"
#include "core/macros/queue_codes.h"
#include "core/macros/time_text.h"

namespace orvex {
namespace {

constexpr int kPasses = 50;
constexpr size_t kRemainder = 999;
constexpr size_t kMessageLimit = 1000;
constexpr long long kMaxPause = 30;

bool StartsWith(const Text& upper, size_t at, const char* keyword) {
  return upper.compare(at, Text(keyword).size(), keyword) == 0;
}

// The argument of #PAUSE and #FILE, starting at `from`: its text and where
// the replaced stretch ends.
struct Argument {
  Text text;
  size_t end;
};

Argument ReadArgument(const Text& text, size_t from) {
  size_t i = from;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i >= text.size()) return {{}, text.size()};
  const size_t blank = text.find(' ', i);
  if (blank == Text::npos) return {text.substr(i, kRemainder), text.size()};
  return {text.substr(i, blank - i), blank + 1};
}

// Whole seconds of a pause argument: a decimal number rounded half to even
// and kept within 0 to 30 (a negative pause is no pause); empty or not a
// number: 1.
int PauseSeconds(const Text& argument) {
  const auto value = ParseNumber(argument);
  if (!value) return 1;
  if (*value >= kMaxPause) return static_cast<int>(kMaxPause);
  if (*value <= 0) return 0;
  return static_cast<int>(*RoundHalfEven(*value, 0, kMaxPause));
}

char ControlCode(char c, bool* valid) {
  *valid = true;
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 1);
  switch (c) {
    case '@':
      return 0;
    case '[':
      return 27;
    case '\\':
      return 28;
    case ']':
      return 29;
    case '^':
      return 30;
    case '_':
      return 31;
    case '?':
      return 127;
    default:
      *valid = false;
      return 0;
  }
}

}  // namespace

Text SerialNumberText(long number, int digits, const Text& cuts) {
  Text text = std::to_string(number);
  if (static_cast<int>(text.size()) < digits)
    text.insert(0, static_cast<size_t>(digits) - text.size(), '0');
  static const char kCut[] = "TAUV4E6BDN";
  for (char& c : text)
    if (cuts.find(c) != Text::npos) c = kCut[c - '0'];
  return text;
}

Text ExpandMacros(const Text& input, bool fullMode, const MacroContext& ctx) {
  Text text = input;
  size_t scan = 0;
  bool speed = false;  // the message changes its own speed
  bool next = false;   // it moves the serial number on
  for (int pass = 0; pass < kPasses; ++pass) {
    const size_t hash = text.find('#', scan);
    if (hash == Text::npos) break;
    const Text upper = UpperCase(std::string_view(text).substr(hash + 1, 8));
    size_t stretch = 0;  // characters replaced, from the "#"; 0 = skip
    Text replacement;
    bool stop = false;
    if (StartsWith(upper, 0, "TIME")) {
      stretch = 5, replacement = TimeText(2, "", ctx.clock);
    } else if (StartsWith(upper, 0, "DATE")) {
      stretch = 5, replacement = TimeText(1, "", ctx.clock);
    } else if (StartsWith(upper, 0, "HIM")) {
      stretch = 4, replacement = ctx.hisCall;
    } else if (StartsWith(upper, 0, "MSG")) {
      const char digit = upper.size() > 3 ? upper[3] : '\0';
      if (fullMode && digit >= '1' && digit <= '8' && text.size() < kMessageLimit)
        stretch = 5, replacement = ctx.messages[static_cast<size_t>(digit - '1')];
    } else if (StartsWith(upper, 0, "CR")) {
      stretch = 3, replacement = Text(1, '\r');
    } else if (StartsWith(upper, 0, "NR")) {
      stretch = 3, replacement = ctx.serialNr;
    } else if (fullMode && StartsWith(upper, 0, "NEXT")) {
      stretch = 5, next = true;
      if (hash + 5 < text.size() && text[hash + 5] == ' ') ++stretch;  // and its blank
    } else if (StartsWith(upper, 0, "ME")) {
      stretch = 3, replacement = ctx.myCall;
    } else if (fullMode && StartsWith(upper, 0, "PAUSE")) {
      const Argument arg = ReadArgument(text, hash + 6);
      stretch = arg.end - hash;
      replacement =
          Text(1, static_cast<char>(kCodePause)) + static_cast<char>(PauseSeconds(arg.text));
    } else if (fullMode && StartsWith(upper, 0, "SPEED")) {
      // "#SPEED 30", "#SPEED+6", "#SPEED-6": a whole number, the blank
      // after it taken with it.
      const char sign = hash + 6 < text.size() ? text[hash + 6] : ' ';
      const bool relative = sign == '+' || sign == '-';
      const Argument arg = ReadArgument(text, hash + (relative ? 7 : 6));
      const auto value = ParseNumber(arg.text);
      const long long n = value ? std::llround(*value) : 0;
      if (value && (relative || n >= 1)) {  // otherwise left as it was written
        stretch = arg.end - hash;
        replacement = Text(1, static_cast<char>(kCodeSpeed)) + (relative ? sign : '=') +
                      static_cast<char>(std::clamp<long long>(n, relative ? 0 : 1, 99));
        speed = true;
      }
    } else if (fullMode && StartsWith(upper, 0, "REPEAT")) {
      stretch = text.size() - hash, replacement = Text(1, static_cast<char>(kCodeRepeat)),
      stop = true;
    } else if (fullMode && StartsWith(upper, 0, "FILE")) {
      const Argument arg = ReadArgument(text, hash + 5);
      stretch = arg.end - hash;
      replacement = Text(1, static_cast<char>(kCodeFile)) + " " + arg.text + " ";
    } else if (StartsWith(upper, 0, "^")) {
      stretch = std::min<size_t>(3, text.size() - hash);
      bool valid = false;
      const char code = stretch == 3 ? ControlCode(text[hash + 2], &valid) : 0;
      if (valid) replacement = Text(1, code);
    }
    if (stretch == 0) {
      scan = hash + 1;
      continue;
    }
    const size_t after = std::min(hash + stretch, text.size());
    text = text.substr(0, hash) + replacement + text.substr(after, kRemainder);
    scan = hash;
    if (stop) break;
  }
  // The next message starts at the window's speed again.
  if (speed) text += Text(1, static_cast<char>(kCodeSpeed)) + '=' + '\0';
  if (next) text += static_cast<char>(kCodeNext);
  return text;
}

}  // namespace orvex
