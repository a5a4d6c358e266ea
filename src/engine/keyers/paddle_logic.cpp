#include "engine/keyers/paddle_logic.h"

#include <algorithm>
#include <string_view>

#include "engine/keyers/morse_code.h"

namespace orvex::engine {

void PaddleLogic::Contacts(bool dit, bool dah) {
  const bool ditPressed = dit && !dit_, dahPressed = dah && !dah_;
  dit_ = dit;
  dah_ = dah;
  if (ditPressed) lastPressed_ = Stroke::Dit;
  if (dahPressed) lastPressed_ = Stroke::Dah;
  if (current_ == Stroke::None) return;
  if (dit && dah) squeezed_ = true;
  // A new press during a stroke is kept for after it.
  if (ditPressed) ditMemory_ = true;
  if (dahPressed) dahMemory_ = true;
  // Mode B keeps the other paddle whenever it is held during a stroke.
  if (mode_ == PaddleMode::IambicB) {
    if (current_ == Stroke::Dah && dit) ditMemory_ = true;
    if (current_ == Stroke::Dit && dah) dahMemory_ = true;
  }
}

Stroke PaddleLogic::Next() const {
  switch (mode_) {
    case PaddleMode::None:
    case PaddleMode::Straight:
      return Stroke::None;
    case PaddleMode::Bug:
      return dit_ || ditMemory_ ? Stroke::Dit : Stroke::None;
    case PaddleMode::Ultimatic:
      if (dit_ && dah_) return lastPressed_ == Stroke::Dah ? Stroke::Dah : Stroke::Dit;
      if (dit_ || dah_) return dit_ ? Stroke::Dit : Stroke::Dah;
      return ditMemory_ ? Stroke::Dit : dahMemory_ ? Stroke::Dah : Stroke::None;
    case PaddleMode::IambicA:
    case PaddleMode::IambicB:
      break;
  }
  if (current_ == Stroke::None) return dit_ ? Stroke::Dit : dah_ ? Stroke::Dah : Stroke::None;
  // Mode A: a squeeze let go ends with the stroke in progress.
  if (mode_ == PaddleMode::IambicA && squeezed_ && !dit_ && !dah_) return Stroke::None;
  const Stroke other = current_ == Stroke::Dit ? Stroke::Dah : Stroke::Dit;
  if (Closed(other) || Remembered(other)) return other;
  if (Closed(current_) || Remembered(current_)) return current_;
  return Stroke::None;
}

void PaddleLogic::Began(Stroke stroke) {
  current_ = stroke;
  (stroke == Stroke::Dit ? ditMemory_ : dahMemory_) = false;
  squeezed_ = dit_ && dah_;
  if (mode_ == PaddleMode::IambicB) {
    if (stroke == Stroke::Dah && dit_) ditMemory_ = true;
    if (stroke == Stroke::Dit && dah_) dahMemory_ = true;
  }
}

void PaddleLogic::Ended() {
  current_ = Stroke::None;
  ditMemory_ = dahMemory_ = squeezed_ = false;
}

void HandDecoder::SetUnit(int64_t unitNs) {
  unitNs_ = static_cast<double>(unitNs);
}

void HandDecoder::Add(char symbol, int64_t endNs) {
  if (length_ < static_cast<int>(sizeof code_) - 1) code_[length_++] = symbol;
  lastEnd_ = endNs;
}

void HandDecoder::StrokeMark(bool dah, int64_t endNs) {
  Add(dah ? '-' : '.', endNs);
}

void HandDecoder::KeyMark(int64_t startNs, int64_t endNs) {
  // A dah is three dots long: the line between them is two dots. The dot
  // follows the hand, a dah counting as a third of its length.
  const double length = static_cast<double>(endNs - startNs);
  const bool dah = length > 2 * unitNs_;
  unitNs_ = std::clamp(unitNs_ * 0.7 + (dah ? length / 3 : length) * 0.3, 10e6, 400e6);
  Add(dah ? '-' : '.', endNs);
}

int64_t HandDecoder::NextNs() const {
  if (length_ > 0) return lastEnd_ + static_cast<int64_t>(2 * unitNs_);
  if (wordOpen_) return lastEnd_ + static_cast<int64_t>(5 * unitNs_);
  return kNever;
}

int HandDecoder::Quiet(int64_t nowNs, char out[2]) {
  int n = 0;
  if (length_ > 0 && nowNs >= lastEnd_ + static_cast<int64_t>(2 * unitNs_)) {
    const unsigned char c = MorseCharacter(std::string_view(code_, static_cast<size_t>(length_)));
    out[n++] = c != 0 ? static_cast<char>(c) : '*';  // a character no table has
    length_ = 0;
    wordOpen_ = true;
  }
  if (length_ == 0 && wordOpen_ && nowNs >= lastEnd_ + static_cast<int64_t>(5 * unitNs_)) {
    out[n++] = ' ';
    wordOpen_ = false;
  }
  return n;
}

}  // namespace orvex::engine
