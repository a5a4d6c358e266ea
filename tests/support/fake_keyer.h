// A keyer that records every call by its operation's name.
#pragma once

#include <string>
#include <vector>

#include "core/sending/keyer.h"

namespace orvex::test {

class FakeKeyer : public Keyer {
 public:
  OpenResult Open(int16_t port) override {
    Log("OPEN " + std::to_string(port));
    return openResult;
  }
  void Close() override { Log("CLOSE"); }
  void Abort() override {
    Log("ABORT");
    pending = 0;
  }
  int16_t Pending() override { return pending; }
  void Element(int16_t state, int16_t units) override {
    Log("ELEMENT " + std::to_string(state) + " " + std::to_string(units));
    ++pending;
  }
  void KeyLine(int16_t on) override { Log("KEYLINE " + std::to_string(on)); }
  void Sidetone(SidetoneDevice device) override {
    Log("SIDETONE " + std::to_string(static_cast<int>(device)));
  }
  void Tone(int16_t hz) override { Log("TONE " + std::to_string(hz)); }
  int16_t Active() override { return active; }
  void Unit(int16_t ms) override { Log("UNIT " + std::to_string(ms)); }
  void Idle() override { Log("IDLE"); }
  int LineError() override { return lineError; }
  void PttTiming(int16_t lead, int16_t tail) override {
    Log("PTT " + std::to_string(lead) + " " + std::to_string(tail));
  }
  void Tune(int ms) override { Log("TUNE " + std::to_string(ms)); }
  engine::SidetoneStatus SidetoneState() override { return sidetone; }
  void ElementNs(bool down, int64_t ns) override {
    Log("ELEMENTNS " + std::to_string(down ? 0 : 128) + " " + std::to_string(ns));
    ++pending;
  }
  void Volume(int16_t percent) override { Log("VOLUME " + std::to_string(percent)); }
  void HoldPtt(int16_t on) override { Log("HOLDPTT " + std::to_string(on)); }
  uint64_t Queued() override { return 0; }
  uint64_t Ended() override { return 0; }

  std::vector<std::string> calls;
  OpenResult openResult;
  int16_t pending = 0;
  int16_t active = 0;
  int lineError = 0;
  engine::SidetoneStatus sidetone;

 private:
  void Log(const std::string& s) { calls.push_back(s); }
};

}  // namespace orvex::test
