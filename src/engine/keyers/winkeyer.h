// A WinKeyer (version 2 or 3) on a serial port: the keyer chip times the
// elements and reads the paddle itself, so the host hands it characters.
// This is the host's side of its protocol: 1200 baud, 8 data bits, no
// parity, 2 stop bits; host open and close; speed, weighting and PTT timing;
// text written a few characters ahead of the key, never faster than the
// keyer takes it; each character echoed back as it has been sent.
//
// One thread reads what the keyer says (echoes, status bytes) and writes the
// next characters as earlier ones end; callers write their commands
// themselves under the lock, so a clear goes on the wire within the call.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "base/result.h"
#include "engine/keyers/morse_code.h"
#include "engine/keyers/ptt_hold.h"
#include "engine/keyers/text_keyer.h"
#include "engine/system/emergency.h"

namespace orvex::engine {

class WinKeyer : public TextKeyer {
 public:
  struct Setup {
    int wpm = 0;      // 0: none sent until the program sets it (its first SPEED is the real one)
    int weight = 50;  // percent, 50 is normal
    int pttLeadMs = 0;
    int pttTailMs = 0;
    int answerMs = 1000;  // how long the keyer may take to answer host open
  };
  // Characters written ahead of the one being sent: enough that the keyer
  // never waits for the host, few enough that a stop drops little.
  static constexpr size_t kAhead = 2;

  WinKeyer() = default;
  ~WinKeyer() override;
  // The kind's opener: a WinKeyer on place.device, with the default setup.
  static Result OpenAt(const KeyerPlace& place, std::unique_ptr<TextKeyer>* keyer);
  // Letters and figures as themselves, other signs as two letters merged.
  std::string Written(unsigned char c) const override { return KeyerLetters(c); }
  WinKeyer(const WinKeyer&) = delete;
  WinKeyer& operator=(const WinKeyer&) = delete;

  // Opens device, puts the keyer in host mode and sends the settings. Refused
  // as "no WinKeyer answered on <device>" when host open gets no answer.
  Result Open(const std::string& device, const Setup& setup);
  // Clears the keyer's buffer, ends host mode and closes the port.
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  // The firmware's version byte: 23 is 2.3, 31 is 3.1.
  int Version() const { return version_; }
  const std::string& Device() const { return device_; }

  // One character: a letter, figure or blank, or two letters merged into
  // one sign (no gap between them). The keyer says when it is sent.
  void Send(std::string_view letters, int units) override;
  // The keyer's buffer cleared within the call, key and PTT up.
  void Clear() override;
  // At once, whatever is being sent.
  void SetSpeed(int wpm) override;
  void SetWeight(int percent) override;
  void SetFarnsworth(int wpm) override;
  void SetPttTiming(int leadMs, int tailMs) override;
  void Tune(int ms) override;
  void HoldPtt(bool on, int limitMs) override;
  int Pending() override;
  uint64_t Queued() override { return queued_.load(); }
  uint64_t Ended() override { return ended_.load(); }
  // The adapter pulled out, the keyer no longer answering.
  Result Failure() override;
  uint64_t BreakIns() override { return breakIns_.load(); }
  // Its paddle input in mode (not Straight, which it has not), and what
  // that paddle sent, by the keyer's paddle echo.
  Result SetPaddle(PaddleMode mode, bool swap) override;
  std::string TakePaddleText() override;
  uint64_t HoldsDropped() override { return holdsDropped_.load(); }
  // Everything was dropped at a stop (Ctrl+Z), and nothing is taken until
  // the program has stopped too.
  bool Interrupted() override { return interrupted_.load(); }
  std::string Name() override;

 private:
  struct Unit {
    std::string bytes;   // as written
    std::string echoes;  // what the keyer echoes as it sends them
    size_t echoed = 0;
  };

  void Run();
  // The next characters onto the wire while the keyer has room.
  void TopUp();
  void Write(std::string_view bytes);
  void Heard(unsigned char byte);
  void Garbled(unsigned char byte);
  void Status(unsigned char status);
  void EndUnits(size_t n);
  void DropAll();
  void Fail(int err, const char* words);
  void CatchStop();
  void Wake();
  int64_t NextDeadlineMs() const;
  int64_t SilenceLimitMs() const;

  mutable std::mutex mu_;
  int fd_ = -1;
  int wakeFd_ = -1;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::string device_;
  int version_ = 0;
  int unitMs_ = 42;
  int pttLeadMs_ = 0;
  std::deque<Unit> waiting_;  // not yet written
  std::deque<Unit> inKeyer_;  // written, not yet echoed
  bool xoff_ = false;         // the keyer's buffer is nearly full
  bool breakIn_ = false;      // the paddle is in use
  bool brokeIn_ = false;      // it broke in since the last Clear
  bool paddleEcho_ = false;   // it echoes what its paddle sends
  std::string paddleText_;    // that echo, not yet taken
  int64_t tuneEndMs_ = -1;    // key up then
  PttHold hold_;              // a logger's hold of PTT, in ms
  int64_t lastHeardMs_ = 0;   // the keyer last said anything
  int64_t lastSentMs_ = 0;    // a character last ended
  int64_t clearedMs_ = 0;     // the buffer was last cleared
  Result failure_;
  emergency::Registration registration_;
  uint32_t stopsSeen_ = 0;
  std::atomic<bool> tuning_{false};
  std::atomic<bool> interrupted_{false};
  std::atomic<uint64_t> queued_{0}, ended_{0}, breakIns_{0}, holdsDropped_{0};
  uint64_t dropped_ = 0;  // dropped unsent since the last Clear
};

}  // namespace orvex::engine
