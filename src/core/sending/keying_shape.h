// The shape the operator gives the keying: weighting (longer or shorter
// key-downs, the gap after each taking up the difference, so characters
// keep their length), Farnsworth spacing (characters at the keying speed,
// the gaps between them stretched to a slower overall speed) and the word
// space (6 units, or the standard 7).
#pragma once

#include <cstdint>
#include <vector>

#include "base/text.h"

namespace orvex {

struct KeyingShape {
  int weight = 50;     // percent, 10 to 90
  int farnsworth = 0;  // overall WPM; off at 0 or at the keying speed and above
  int wordSpace = 6;   // units between words

  // Today's plain timing: every element a whole number of units.
  bool Plain(int speed) const;
};

struct ShapedElement {
  bool down;
  int64_t ns;
};

// One character's (state, units) pairs, as the element table holds them,
// with their lengths in the given shape; unitNs the unit the keyer uses.
// blank: the character is the word space.
std::vector<ShapedElement> ShapeElements(const Text& pairs, bool blank, const KeyingShape& shape,
                                         int speed, int64_t unitNs);

}  // namespace orvex
