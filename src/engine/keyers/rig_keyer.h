// CW by the radio's own keyer, through Hamlib. The radio does not say what
// it has sent, so the keyer estimates it from the speed and the length of
// each character, and hands the radio the next piece of text (a word, or a
// few characters) only when it is about to run out: a stop then loses at
// most what the radio already holds, whether or not it can be told to stop.
#pragma once

#include <deque>
#include <memory>
#include <string>

#include "engine/keyers/morse_code.h"
#include "engine/keyers/ptt_hold.h"
#include "engine/keyers/rig_link.h"
#include "engine/keyers/text_keyer.h"

namespace orvex::engine {

class RigKeyer : public TextKeyer {
 public:
  // pttByCat: PTT on over CAT before the text (by the lead) and off after
  // it (by the tail); otherwise the radio keys PTT itself.
  RigKeyer(std::unique_ptr<RigLink> link, bool pttByCat);
  ~RigKeyer() override;
  // The kind's opener: the radio place.rig names, PTT by CAT when it owns it.
  static Result OpenAt(const KeyerPlace& place, std::unique_ptr<TextKeyer>* keyer);
  // Radios' keyers take plain text: letters, figures, punctuation.
  std::string Written(unsigned char c) const override;

  void Send(std::string_view what, int units) override;
  int Ahead() override { return 8; }  // a word: it hands the radio pieces
  void Clear() override;
  void SetSpeed(int wpm) override;
  void SetPttTiming(int leadMs, int tailMs) override;
  void Tune(int) override {}  // the radio's keyer holds no key down on request
  void HoldPtt(bool on, int limitMs) override;
  int Pending() override;
  uint64_t Queued() override { return queued_; }
  uint64_t Ended() override;
  Result Failure() override { return link_->Failure(); }
  std::string StillSending() override;
  uint64_t HoldsDropped() override { return holdsDropped_; }
  std::optional<bool> RadioPtt() override { return pttByCat_ ? link_->RadioPtt() : std::nullopt; }
  std::string Name() override { return "Rig: " + link_->Model() + ", CW by the radio"; }

 private:
  struct Char {
    std::string what;
    int units;
    int64_t endNs = 0;  // when the radio should have sent it
  };
  // What the radio has sent by now, the next piece when it is due, PTT.
  void Advance();
  void Drop();
  // When PTT by CAT falls: after the tail, or when a hold ends.
  int64_t PttEndNs() const;

  std::unique_ptr<RigLink> link_;
  const bool pttByCat_;
  std::deque<Char> waiting_, handed_;
  int64_t unitNs_ = UnitNs(28);
  int64_t leadNs_ = 0, tailNs_ = 0;
  int64_t doneNs_ = 0;  // when the radio should have sent all it holds
  uint64_t queued_ = 0, ended_ = 0, dropped_ = 0;
  std::string held_;  // what the radio held at the last stop
  int64_t heldUntilNs_ = 0;
  uint64_t stopsRefused_ = 0;
  PttHold hold_;  // a logger's hold of PTT by CAT
  uint64_t holdsDropped_ = 0;
};

}  // namespace orvex::engine
