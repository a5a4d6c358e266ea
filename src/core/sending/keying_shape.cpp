#include "core/sending/keying_shape.h"

#include <algorithm>

#include "core/sending/morse_table.h"

namespace orvex {

bool KeyingShape::Plain(int speed) const {
  return weight == 50 && wordSpace == 6 && (farnsworth <= 0 || farnsworth >= speed);
}

std::vector<ShapedElement> ShapeElements(const Text& pairs, bool blank, const KeyingShape& shape,
                                         int speed, int64_t unitNs) {
  // Weighting: each key-down longer by 2 x (weight - 50) / 100 of a unit,
  // the gap after it shorter by as much.
  const int64_t weight = unitNs * 2 * (std::clamp(shape.weight, 10, 90) - 50) / 100;
  // Farnsworth: "PARIS" and its word space (43 units and the word space)
  // last one minute / overall speed; the time added goes to the four gaps
  // between its characters and the word gap in the proportion 3 : 7.
  int64_t added = 0;
  if (shape.farnsworth > 0 && shape.farnsworth < speed)
    added =
        std::max<int64_t>(0, 60'000'000'000LL / shape.farnsworth - (43 + shape.wordSpace) * unitNs);
  std::vector<ShapedElement> out;
  for (size_t i = 0; i + 1 < pairs.size(); i += 2) {
    const bool down = static_cast<unsigned char>(pairs[i]) == kKeyDown;
    int64_t ns = static_cast<unsigned char>(pairs[i + 1]) * unitNs;
    if (down) ns += weight;
    if (!down && i >= 2 && static_cast<unsigned char>(pairs[i - 2]) == kKeyDown) ns -= weight;
    if (i + 2 >= pairs.size()) {  // the gap that ends the character
      // A character's own gap takes 3 of the 19 shares; the word space the
      // other 4 of its word gap's 7, and its extra unit.
      ns += blank ? added * 4 / 19 + (shape.wordSpace - 6) * unitNs : added * 3 / 19;
    }
    out.push_back({down, std::max<int64_t>(ns, 0)});
  }
  return out;
}

}  // namespace orvex
