// A WinKeyer for the tests, on a pseudo-terminal: it answers host open with
// its version byte, keeps the settings it is sent, sends its buffer at the
// set speed and echoes each character once sent, reports busy, XOFF (its
// buffer two thirds full) and break-in in status bytes, clears its buffer on
// clear, and logs every command with the time it came. Tests can make the
// operator touch the paddle, make it stop answering, or pull it out.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvex::test {

class WinKeyerEmulator {
 public:
  struct Options {
    int version = 31;       // what host open answers: 3.1
    bool answers = true;    // false: a device that says nothing at all
    size_t capacity = 128;  // its buffer, in bytes
    bool spin = false;      // reads without sleeping: a byte's time is not a wake-up's
    // How it misbehaves once host mode is open: held in XOFF; busy for
    // ever (saying so every 100 ms) with nothing sent; one status byte with
    // the break-in bit as the first character starts; a stray byte after
    // each echo; the busy bit flipped off after each echo.
    enum class Fault { None, Xoff, Stall, BreakIn, Garbage, Flips } fault = Fault::None;
  };
  struct Command {
    int64_t ms;         // since the emulator started
    int64_t us;         // when it was read, on the monotonic clock
    std::string bytes;  // as the host wrote it
  };

  explicit WinKeyerEmulator(Options options);
  WinKeyerEmulator() : WinKeyerEmulator(Options{}) {}
  ~WinKeyerEmulator();
  WinKeyerEmulator(const WinKeyerEmulator&) = delete;
  WinKeyerEmulator& operator=(const WinKeyerEmulator&) = delete;

  // The device the host opens.
  const std::string& Device() const { return device_; }

  // Everything the host wrote, command by command.
  std::vector<Command> Commands();
  // The first command starting with these bytes, if any came.
  bool Got(const std::string& prefix, Command* found = nullptr);
  // Where it stands now.
  struct State {
    bool hostOpen = false;
    bool keyDown = false;  // keying a character, or key immediate
    int speed = 20, mode = 0;
    std::string sent;         // the characters keyed so far, a merged pair as its letters
    size_t mostBuffered = 0;  // characters in the buffer at the most, so far
    int pastXoff = 0;         // characters that came well after it said XOFF
  };
  State Now();

  // The operator touches the paddle: the buffer dropped, break-in reported,
  // and what the paddle sent echoed when the host asked for paddle echo.
  void Paddle(const std::string& letters = {});
  // From now on it takes bytes but says and sends nothing.
  void GoSilent();
  // The adapter pulled out: the host's reads fail.
  void Unplug();

  // Waits up to ms for what holds.
  bool WaitFor(const std::function<bool()>& holds, int ms = 5000);

 private:
  void Run();
  void Take(unsigned char byte);
  void Act(const std::string& command);
  void Keying(int64_t now);
  void SendStatus();
  void Reply(unsigned char byte);
  int64_t Ms() const;

  const Options options_;
  int master_ = -1;
  std::string device_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  const int64_t start_;
  int64_t readUs_ = 0;  // when the bytes being taken were read

  std::mutex mu_;
  std::vector<Command> commands_;
  std::string partial_;             // a command whose arguments are still coming
  std::deque<std::string> buffer_;  // characters waiting (a merged pair as one)
  State state_;
  std::string current_;  // the character being keyed
  int64_t currentEnd_ = 0;
  int64_t xoffSince_ = 0;
  bool silent_ = false, unplugged_ = false, keyImmediate_ = false, breakIn_ = false;
  int64_t breakInEnd_ = 0;
  unsigned char lastStatus_ = 0xC0;
  int64_t statusMs_ = 0;  // when it last said its status
  bool brokeOnce_ = false;
};

}  // namespace orvex::test
