#include "core/sending/engine_keyer.h"

#include <algorithm>

#include "base/clock.h"
#include "core/sending/morse_table.h"
#include "engine/device_names.h"

namespace orvex {

Result EngineKeyer::Open(int16_t port, const Wiring& wiring) {
  if (wiring.keyer == KeyerKind::Line || port == 0) {
    const Result opened = engine_.Open(port, wiring.lines);
    // The WinKeyer stays as it was when the port cannot be opened.
    if (opened.ok() && useWinKeyer_) {
      winKeyer_.Close();
      useWinKeyer_ = false;
    }
    return opened;
  }
  if (port < 0)
    return Result::Failed(Fault::Open, ENOTTY,
                          "a WinKeyer is on a serial port (COM1 to COM8 or a device path)");
  engine::WinKeyer::Setup setup;
  const Result opened = winKeyer_.Open(engine::DeviceForPort(port), setup);
  if (!opened.ok()) return opened;
  useWinKeyer_ = true;
  keyLine_ = true;
  // The engine plays what must not key the transmitter: notices in the
  // sidetone, text while the key line is off.
  return engine_.Open(0);
}

void EngineKeyer::Close() {
  winKeyer_.Close();
  useWinKeyer_ = false;
  engine_.Close();
}

void EngineKeyer::Abort() {
  if (useWinKeyer_) winKeyer_.Clear();
  engine_.Abort();
}

int16_t EngineKeyer::Pending() {
  return static_cast<int16_t>(std::min(engine_.Pending() + winKeyer_.Pending(), 32767));
}

void EngineKeyer::KeyLine(int16_t on) {
  keyLine_ = on != 0;
  engine_.SetKeyLine(on != 0);
}

int16_t EngineKeyer::Active() {
  return engine_.Active() || winKeyer_.Busy() ? 1 : 0;
}

Result EngineKeyer::LineError() {
  if (useWinKeyer_) return winKeyer_.Failure();
  return engine_.LineError();
}

void EngineKeyer::PttTiming(int16_t leadMs, int16_t tailMs) {
  engine_.SetPttTiming(leadMs, tailMs);
  if (useWinKeyer_) winKeyer_.SetPttTiming(leadMs, tailMs);
}

void EngineKeyer::Tune(int ms) {
  if (useWinKeyer_)
    winKeyer_.Tune(ms);
  else
    engine_.Tune(ms);
}

void EngineKeyer::HoldPtt(int16_t on, int limitMs) {
  if (useWinKeyer_)
    winKeyer_.HoldPtt(on != 0, limitMs);
  else
    engine_.HoldPtt(on != 0, limitMs);
}

int64_t EngineKeyer::NextChangeMs() {
  // The WinKeyer says when a character has gone only as it happens: while
  // it sends, look again soon.
  if (useWinKeyer_ && winKeyer_.Busy()) return MonotonicNs() / 1'000'000 + 10;
  const int64_t ns = engine_.NextChangeNs();
  return ns == engine::kNoDeadline ? -1 : ns / 1'000'000;
}

bool EngineKeyer::Character(unsigned char c) {
  if (!TakesCharacters()) return false;
  const std::string letters = KeyerLetters(c);
  if (letters.empty()) return false;
  winKeyer_.Send(letters);
  return true;
}

void EngineKeyer::Speed(int16_t wpm) {
  if (useWinKeyer_) winKeyer_.SetSpeed(wpm);
}

void EngineKeyer::Weight(int16_t percent) {
  if (useWinKeyer_) winKeyer_.SetWeight(percent);
}

Text EngineKeyer::Name() {
  if (!useWinKeyer_) return {};
  const int v = winKeyer_.Version();
  return "WinKeyer " + std::to_string(v / 10) + "." + std::to_string(v % 10) + " on " +
         Utf8ToCp1252(winKeyer_.Device());
}

}  // namespace orvex
