// The three search routines of the line editor. Positions are 1-based, as
// the caret column is; 0 means not found.
#pragma once

#include "base/text.h"

namespace orvex {

// From start down to the length of s: the first i where text from i on
// begins with s.
int FindBackward(int start, const Text& text, const Text& s);
// From start up to length(text) - length(s) + 1: the first i where text from
// i on does not begin with s.
int SkipForward(int start, const Text& text, const Text& s);
// From start down to the length of s: the first i where text from i on does
// not begin with s.
int SkipBackward(int start, const Text& text, const Text& s);

}  // namespace orvex
