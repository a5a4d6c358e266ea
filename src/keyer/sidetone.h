// A sidetone output: what the operator hears while the key is down. One
// implementation per kind of output; the engine calls them under its lock.
#pragma once

namespace orvex::keyer {

class Sidetone {
 public:
  virtual ~Sidetone() = default;
  virtual void SetKey(bool down) = 0;
  virtual void SetPitch(int hz) = 0;
};

// No sound device at all: keying still works.
class NullSidetone : public Sidetone {
 public:
  void SetKey(bool) override {}
  void SetPitch(int) override {}
};

}  // namespace orvex::keyer
