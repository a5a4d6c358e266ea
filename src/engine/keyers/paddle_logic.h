// The operator's paddle turned into strokes (a dit or a dah with the space
// after it), as an electronic keyer does, and what the hand keyed read back
// as characters. Pure logic on times it is given: the paddle's thread
// (timing/paddle_keyer) drives it.
//
// Iambic: while a paddle is held its stroke repeats; both held alternate.
// A paddle pressed while a stroke is going (a new press) is remembered and
// sent after it: dot and dash memory. Mode A stops after the stroke in
// progress once a squeeze is let go; mode B (Curtis B) remembers the other
// paddle whenever it is held during a stroke, so letting go of a squeeze
// sends one more stroke, the other one. Ultimatic: both held, the paddle
// pressed last repeats. Bug: the dit paddle makes dits; its dah contact is
// a straight key (the keyer's own business). Straight: no strokes at all.
#pragma once

#include <cstdint>

namespace orvex::engine {

enum class PaddleMode : uint8_t { None, IambicA, IambicB, Ultimatic, Bug, Straight };
enum class Stroke : uint8_t { None, Dit, Dah };

class PaddleLogic {
 public:
  explicit PaddleLogic(PaddleMode mode) : mode_(mode) {}
  // The contacts as they are now (debounced): told at every change.
  void Contacts(bool dit, bool dah);
  // The stroke to send next: after the one in progress, or from idle.
  // Asked as often as wanted until Began or Ended says what happened.
  Stroke Next() const;
  // A stroke begins (what its memory asked for is spent).
  void Began(Stroke stroke);
  // The stroke in progress ended with none after it: idle, memory cleared.
  void Ended();
  bool Dit() const { return dit_; }
  bool Dah() const { return dah_; }
  bool Sending() const { return current_ != Stroke::None; }

 private:
  bool Closed(Stroke s) const { return s == Stroke::Dit ? dit_ : dah_; }
  bool Remembered(Stroke s) const { return s == Stroke::Dit ? ditMemory_ : dahMemory_; }

  PaddleMode mode_;
  bool dit_ = false, dah_ = false;
  bool ditMemory_ = false, dahMemory_ = false;
  bool squeezed_ = false;  // both held at once during the stroke in progress
  Stroke current_ = Stroke::None;
  Stroke lastPressed_ = Stroke::None;
};

// What a hand keyed, as characters (Windows-1252): strokes of known kind,
// or a straight key's marks told apart by length, its speed learnt as it
// goes. A character ends after two units of silence, a word after five.
class HandDecoder {
 public:
  explicit HandDecoder(int64_t unitNs) { SetUnit(unitNs); }
  void SetUnit(int64_t unitNs);
  // A mark of known kind, ending at endNs.
  void StrokeMark(bool dah, int64_t endNs);
  // A straight key's mark.
  void KeyMark(int64_t startNs, int64_t endNs);
  // The key has been up until nowNs: a character and a word space that
  // ended meanwhile go into out; how many (0 to 2).
  int Quiet(int64_t nowNs, char out[2]);
  // When Quiet next has something to say (kNever: nothing pending).
  int64_t NextNs() const;
  static constexpr int64_t kNever = INT64_MAX;

 private:
  void Add(char symbol, int64_t endNs);
  char code_[9] = {};  // the character's dots and dashes so far
  int length_ = 0;
  bool wordOpen_ = false;  // a character since the last word space
  int64_t lastEnd_ = 0;    // the last mark's end
  double unitNs_ = 0;      // a dot's length as keyed
};

}  // namespace orvex::engine
