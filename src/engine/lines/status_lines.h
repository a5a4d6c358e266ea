// A serial port's status lines (CTS, DSR, DCD, RI) as inputs: the contacts
// of the operator's paddle or straight key. A thread of its own waits for
// them to change (TIOCMIWAIT) and reads them again after each wake
// (TIOCMGET), so it says what they are, not which one moved; where the
// driver cannot wait (some USB adapters, a pseudo-terminal) it reads them
// every millisecond. Each change is stamped with the monotonic time the
// thread saw it and told through a wake-up word.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "base/result.h"

namespace orvex::engine {

// Status lines as the settings name them ("CTS", "DSR", "DCD", "RI"); 0 for
// a name that is none of them.
int StatusLineBit(const std::string& name);

class StatusLines {
 public:
  // Watches the lines in mask on fd, which it owns from now on (a copy of
  // the key line's, when the paddle shares the CW port); wake is changed
  // and woken after every change.
  static Result Watch(int fd, int mask, std::atomic<uint32_t>* wake,
                      std::unique_ptr<StatusLines>* watching);
  // Opens device, a port of the paddle's own, and watches it. Its DTR and
  // RTS are held on: the contacts' supply.
  static Result Open(const std::string& device, int mask, std::atomic<uint32_t>* wake,
                     std::unique_ptr<StatusLines>* watching);
  ~StatusLines();
  StatusLines(const StatusLines&) = delete;
  StatusLines& operator=(const StatusLines&) = delete;

  // The lines of the mask as last seen, and when they changed to that.
  struct Reading {
    int bits = 0;
    int64_t atNs = 0;
  };
  Reading Last() const;
  // Reads the lines now, from the caller's thread: a change the waiting
  // thread has not told yet (one that came between its read and its next
  // wait) is taken at once. -1 when the device failed.
  int ReadNow();
  bool Polling() const { return polling_.load(); }
  // The device failed (an adapter pulled out): the system's error number.
  int Error() const { return error_.load(); }

 private:
  StatusLines(int fd, int mask, std::atomic<uint32_t>* wake);
  void Run();
  void Store(int bits, int64_t atNs);

  int fd_;
  int mask_;
  std::atomic<uint32_t>* wake_;
  // The lines in the low 4 bits, the time above: one word, read whole.
  std::atomic<uint64_t> last_{0};
  std::atomic<bool> stop_{false}, polling_{false}, running_{false};
  std::atomic<int> error_{0};
  std::thread thread_;
};

}  // namespace orvex::engine
