#include "base/string_search.h"

namespace orvex {
namespace {

bool At(const Text& text, int i, const Text& s) {
  return i >= 1 && static_cast<size_t>(i - 1) + s.size() <= text.size() &&
         text.compare(static_cast<size_t>(i - 1), s.size(), s) == 0;
}

}  // namespace

int FindBackward(int start, const Text& text, const Text& s) {
  for (int i = start; i >= static_cast<int>(s.size()) && i >= 1; --i)
    if (At(text, i, s)) return i;
  return 0;
}

int SkipForward(int start, const Text& text, const Text& s) {
  const int last = static_cast<int>(text.size()) - static_cast<int>(s.size()) + 1;
  for (int i = start < 1 ? 1 : start; i <= last; ++i)
    if (!At(text, i, s)) return i;
  return 0;
}

int SkipBackward(int start, const Text& text, const Text& s) {
  for (int i = start; i >= static_cast<int>(s.size()) && i >= 1; --i)
    if (!At(text, i, s)) return i;
  return 0;
}

}  // namespace orvex
