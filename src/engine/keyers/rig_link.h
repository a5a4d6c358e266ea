// The radio over its CAT connection, through Hamlib: text for the radio's
// own keyer, its keyer speed, PTT. Every Hamlib call runs on the link's own
// thread, each bounded by Hamlib's timeout, so neither the window nor the
// timing thread ever waits for the radio; they queue what they want and go
// on. Model 2 is Hamlib's network client: a running rigctld, shared with
// the logger and the other programs of the station.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/result.h"
#include "engine/lines/key_line.h"

namespace orvex::engine {

struct RigSetup {
  int model = 2;                        // Hamlib's model number
  std::string port = "localhost:4532";  // a device, or host:port for model 2
  int baud = 0;                         // 0: the model's own
  int answerMs = 3000;                  // how long opening may take
  // PTT by CAT is ours: switched off first on every (re)open, read back for
  // the TX lamp, and off again should the program die (guard.h).
  bool ownsPtt = false;
  bool operator==(const RigSetup&) const = default;
};

// "Elecraft K3", "NET rigctl"; empty for a number Hamlib does not know.
std::string RigModelName(int model);

class RigLink : public PttRelay {
 public:
  // Connects on the link's own thread. Refused with Hamlib's words, naming
  // the rig ("Hamlib NET rigctl at localhost:4532: IO error"), or when it
  // has not answered within setup.answerMs.
  static Result Open(const RigSetup& setup, std::unique_ptr<RigLink>* link);
  // PTT off and the radio's keyer stopped, then the connection closed; a
  // radio that does not answer is left to its thread, not waited for.
  ~RigLink() override;

  // Text for the radio's keyer, handed over no sooner than notBeforeNs
  // (monotonic; 0: at once) so that PTT by CAT can lead it.
  void SendMorse(const std::string& text, int64_t notBeforeNs = 0);
  // Drops the text not yet handed over. Hamlib's network client does not
  // pass the stop on (4.5), and not every radio can stop: text the radio
  // already holds may still be sent.
  void StopMorse();
  // Stops the radio answered it cannot do (its keyer has no stop), so far.
  uint64_t StopsRefused() const;
  void SetSpeed(int wpm);
  // From any thread, the timing thread included: never waits. Off is sent
  // to the radio every time, whatever the link believes its PTT to be, and
  // even after a failure: Esc must always reach a transmitter.
  void Ptt(bool on) noexcept override;
  // PTT on until offAtNs (monotonic), when the link's thread drops it by
  // itself; a later call moves the time.
  void PttUntil(int64_t offAtNs);
  bool PttOn() const;
  // The radio's PTT as it last read it back (with setup.ownsPtt); empty
  // before the first reading or while the connection is down.
  std::optional<bool> RadioPtt() const;

  // The first thing the radio refused or the connection that failed,
  // naming the rig; fine while it works. A connection that drops is opened
  // again at once and PTT switched off before this says so; nothing more is
  // sent through the link after a failure but PTT off.
  Result Failure() const;
  // "NET rigctl (localhost:4532)", "Elecraft K3 (/dev/ttyUSB0)".
  const std::string& Name() const { return name_; }
  const std::string& Model() const { return model_; }  // "NET rigctl"

  struct Shared;
  struct Op;

 private:
  RigLink(std::shared_ptr<Shared> shared, std::string name, std::string model);
  void Post(Op op);

  std::shared_ptr<Shared> shared_;  // with the link's thread, which may outlive it
  std::string name_, model_;
};

}  // namespace orvex::engine
