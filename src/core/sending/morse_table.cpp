#include "core/sending/morse_table.h"

namespace orvex {

MorseTable FillMorseTable() {
  MorseTable table;
  size_t count = 0;
  const engine::MorseEntry* entries = engine::MorseEntries(&count);
  for (size_t i = 0; i < count && i < table.size(); ++i) {
    table[i].assign(1, static_cast<char>(entries[i].c));
    table[i].append(entries[i].code);
  }
  return table;
}

ElementTable BuildElementTable(const MorseTable& morse) {
  ElementTable table;
  auto pair = [](Text& out, unsigned char state, unsigned char units) {
    out += static_cast<char>(state);
    out += static_cast<char>(units);
  };
  for (const Text& entry : morse) {
    if (entry.empty()) continue;
    Text& elements = table[static_cast<unsigned char>(entry[0])];
    elements.clear();
    for (size_t k = 1; k < entry.size(); ++k) {
      switch (entry[k]) {
        case '.':
          pair(elements, kKeyDown, 1);
          pair(elements, kKeyUp, 1);
          break;
        case '-':
          pair(elements, kKeyDown, 3);
          pair(elements, kKeyUp, 1);
          break;
        case ' ':
          pair(elements, kKeyUp, 1);
          break;
        default:
          break;
      }
    }
    pair(elements, kKeyUp, 2);  // characters end 3 units apart
  }
  return table;
}

}  // namespace orvex
