// Key-downs as a listener hears them: "." and "-" against the shortest
// key-down, " " between characters, " / " between words. Read from a key
// log or from a simulated keyer's timeline.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orvex::test {

// downs: each key-down's start and end, in any one unit of time.
inline std::string Heard(const std::vector<std::pair<int64_t, int64_t>>& downs) {
  int64_t dot = INT64_MAX;
  for (auto [start, end] : downs) dot = std::min(dot, end - start);
  std::string out;
  for (size_t i = 0; i < downs.size(); ++i) {
    const int64_t gap = i ? downs[i].first - downs[i - 1].second : 0;
    out += gap > 5 * dot ? " / " : gap > 2 * dot ? " " : "";
    out += downs[i].second - downs[i].first > 2 * dot ? '-' : '.';
  }
  return out;
}

}  // namespace orvex::test
