// A keyer that records every call, as the CWFunc operation it stands for.
#pragma once

#include <string>
#include <vector>

#include "keying/keyer.h"

namespace orvex::test {

class FakeKeyer : public Keyer {
 public:
  int16_t Open(int16_t port) override {
    Log("OPEN " + std::to_string(port));
    return openStatus;
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
  void Sidetone(int16_t device) override { Log("SIDETONE " + std::to_string(device)); }
  void Tone(int16_t hz) override { Log("TONE " + std::to_string(hz)); }
  int16_t Active() override { return active; }
  void Unit(int16_t ms) override { Log("UNIT " + std::to_string(ms)); }
  void Idle() override { Log("IDLE"); }

  std::vector<std::string> calls;
  int16_t openStatus = 0;
  int16_t pending = 0;
  int16_t active = 0;

 private:
  void Log(const std::string& s) { calls.push_back(s); }
};

}  // namespace orvex::test
