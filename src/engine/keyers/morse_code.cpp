#include "engine/keyers/morse_code.h"

#include <array>

namespace orvex::engine {
namespace {

// International Morse Code (ITU-R M.1677) for a to z and 1 to 9, 0.
constexpr const char* kLetters[26] = {".-",   "-...", "-.-.", "-..",  ".",    "..-.", "--.",
                                      "....", "..",   ".---", "-.-",  ".-..", "--",   "-.",
                                      "---",  ".--.", "--.-", ".-.",  "...",  "-",    "..-",
                                      "...-", ".--",  "-..-", "-.--", "--.."};
constexpr const char* kFigures[10] = {".----", "..---", "...--", "....-", ".....",
                                      "-....", "--...", "---..", "----.", "-----"};

// The signs, in table order.
constexpr MorseEntry kSigns[34] = {
    {',', "--..--"}, {'.', ".-.-.-"},  {'/', "-..-."},    {'?', "..--.."}, {'(', "-.--."},
    {')', "-.--.-"}, {'$', "...-..-"}, {'-', "-....-"},   {'"', ".-..-."}, {':', "---..."},
    {';', "-.-.-."}, {'\'', ".----."}, {'_', "..--.-"},   {' ', " "},      {'=', "-...-"},
    {'+', kSignAR},  {'!', "...-."},   {'~', "........"}, {'%', kSignAS},  {'@', kSignSK},
    {193, ".--.-"},  {225, ".--.-"},   {196, ".-.-"},     {228, ".-.-"},   {197, ".--.-"},
    {229, ".--.-"},  {201, "..-.."},   {233, "..-.."},    {209, "--.--"},  {241, "--.--"},
    {214, "---."},   {246, "---."},    {220, "..--"},     {252, "..--"}};

constexpr size_t kEntries = 26 + 26 + 10 + 34;

const std::array<MorseEntry, kEntries>& Entries() {
  static const std::array<MorseEntry, kEntries> entries = [] {
    std::array<MorseEntry, kEntries> out{};
    size_t i = 0;
    for (int k = 0; k < 26; ++k) out[i++] = {static_cast<unsigned char>('a' + k), kLetters[k]};
    for (int k = 0; k < 26; ++k) out[i++] = {static_cast<unsigned char>('A' + k), kLetters[k]};
    for (int k = 0; k < 10; ++k)
      out[i++] = {static_cast<unsigned char>(k == 9 ? '0' : '1' + k), kFigures[k]};
    for (const MorseEntry& s : kSigns) out[i++] = s;
    return out;
  }();
  return entries;
}

}  // namespace

const MorseEntry* MorseEntries(size_t* count) {
  *count = Entries().size();
  return Entries().data();
}

std::string_view MorseCode(unsigned char c) {
  for (const MorseEntry& e : Entries())
    if (e.c == c) return e.code;
  return {};
}

unsigned char MorseCharacter(std::string_view code) {
  for (const MorseEntry& e : Entries())
    if (!(e.c >= 'a' && e.c <= 'z') && e.code == code) return e.c;
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

}  // namespace orvex::engine
