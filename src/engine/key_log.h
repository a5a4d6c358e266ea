// The key log: with ORVEX_KEYER_LOG=path set, one line per change of the key
// or PTT, appended as "<monotonic microseconds> KEY DOWN|KEY UP|PTT ON|PTT
// OFF". Tests and the operator read back what was keyed and when.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace orvex::engine {

class KeyLog {
 public:
  // nullptr when ORVEX_KEYER_LOG is unset or empty, or the file cannot be
  // opened.
  static std::unique_ptr<KeyLog> FromEnvironment();
  static std::unique_ptr<KeyLog> Open(const std::string& path);
  ~KeyLog();

  void Write(int64_t monotonicNs, const char* what) noexcept;

 private:
  explicit KeyLog(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace orvex::engine
