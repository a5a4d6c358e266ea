#include "core/sending/morse_table.h"

namespace orvex {
namespace {

// International Morse Code (ITU-R M.1677) for a to z and 1 to 9, 0.
constexpr const char* kLetters[26] = {".-",   "-...", "-.-.", "-..",  ".",    "..-.", "--.",
                                      "....", "..",   ".---", "-.-",  ".-..", "--",   "-.",
                                      "---",  ".--.", "--.-", ".-.",  "...",  "-",    "..-",
                                      "...-", ".--",  "-..-", "-.--", "--.."};
constexpr const char* kFigures[10] = {".----", "..---", "...--", "....-", ".....",
                                      "-....", "--...", "---..", "----.", "-----"};

struct Sign {
  unsigned char code;
  std::string_view elements;
};
// Entries 63 to 96, in table order.
constexpr Sign kSigns[34] = {
    {',', "--..--"}, {'.', ".-.-.-"},  {'/', "-..-."},    {'?', "..--.."}, {'(', "-.--."},
    {')', "-.--.-"}, {'$', "...-..-"}, {'-', "-....-"},   {'"', ".-..-."}, {':', "---..."},
    {';', "-.-.-."}, {'\'', ".----."}, {'_', "..--.-"},   {' ', " "},      {'=', "-...-"},
    {'+', kSignAR},  {'!', "...-."},   {'~', "........"}, {'%', kSignAS},  {'@', kSignSK},
    {193, ".--.-"},  {225, ".--.-"},   {196, ".-.-"},     {228, ".-.-"},   {197, ".--.-"},
    {229, ".--.-"},  {201, "..-.."},   {233, "..-.."},    {209, "--.--"},  {241, "--.--"},
    {214, "---."},   {246, "---."},    {220, "..--"},     {252, "..--"}};

const MorseTable& Table() {
  static const MorseTable table = FillMorseTable();
  return table;
}

}  // namespace

MorseTable FillMorseTable() {
  MorseTable table;
  size_t i = 0;
  for (int k = 0; k < 26; ++k) table[i++] = Text(1, static_cast<char>('a' + k)) + kLetters[k];
  for (int k = 0; k < 26; ++k) table[i++] = Text(1, static_cast<char>('A' + k)) + kLetters[k];
  for (int k = 0; k < 10; ++k)
    table[i++] = Text(1, static_cast<char>(k == 9 ? '0' : '1' + k)) + kFigures[k];
  for (const Sign& s : kSigns) {
    Text& entry = table[i++];
    entry.assign(1, static_cast<char>(s.code));
    entry.append(s.elements);
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

std::string_view MorseCode(unsigned char c) {
  for (const Text& entry : Table())
    if (!entry.empty() && static_cast<unsigned char>(entry[0]) == c)
      return std::string_view(entry).substr(1);
  return {};
}

unsigned char MorseCharacter(std::string_view code) {
  for (const Text& entry : Table()) {
    const auto c = static_cast<unsigned char>(entry[0]);
    if (!(c >= 'a' && c <= 'z') && std::string_view(entry).substr(1) == code) return c;
  }
  return 0;
}

int CharacterUnits(unsigned char c) {
  const std::string_view code = MorseCode(c);
  if (code.empty()) return 0;
  int units = 2;
  for (char e : code) units += e == '-' ? 4 : e == '.' ? 2 : 1;
  return units;
}

std::string KeyerLetters(unsigned char c) {
  const std::string_view code = MorseCode(c);
  if (code.empty()) return {};
  if (c == ' ') return " ";
  auto plain = [](unsigned char l) { return (l >= 'A' && l <= 'Z') || (l >= '0' && l <= '9'); };
  if (const unsigned char whole = MorseCharacter(code); plain(whole))
    return std::string(1, static_cast<char>(whole));
  for (size_t k = 1; k < code.size(); ++k) {
    const unsigned char a = MorseCharacter(code.substr(0, k)), b = MorseCharacter(code.substr(k));
    if (plain(a) && plain(b)) return {static_cast<char>(a), static_cast<char>(b)};
  }
  return {};
}

}  // namespace orvex
