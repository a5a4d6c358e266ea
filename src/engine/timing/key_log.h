// The key log: with ORVEX_KEYER_LOG=path set, one line per change of the key
// or PTT, appended as "<monotonic microseconds> KEY DOWN|KEY UP|PTT ON|PTT
// OFF", and "<us> LATE <us>" before a change the timing thread made late
// (woken late by a stalled machine: the rest of the run moved with it).
// Tests and the operator read back what was keyed and when.
//
// The timing thread only puts a record into a fixed ring (no allocation, no
// file I/O, no lock of its own); a thread of the log's own writes the lines,
// so logging never shifts the timing it records.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/result.h"

namespace orvex::engine {

enum class KeyEvent : uint8_t { KeyDown, KeyUp, PttOn, PttOff, Late };

class KeyLog {
 public:
  // The log ORVEX_KEYER_LOG names: Missing when it is unset or empty, a
  // failure with the system's words when the file cannot be opened.
  static Result FromEnvironment(std::unique_ptr<KeyLog>* log);
  static Result Open(const std::string& path, std::unique_ptr<KeyLog>* log);
  ~KeyLog();  // writes what is left

  // One producer at a time (the engine calls it under its lock). A full ring
  // drops the record rather than wait.
  // late: for Late, by how much.
  void Put(int64_t monotonicNs, KeyEvent event, int64_t lateNs = 0) noexcept;
  // Waits until every record put so far is in the file.
  void Flush();

 private:
  explicit KeyLog(int fd);
  void Writer();
  void WriteOut();

  struct Record {
    int64_t ns;
    KeyEvent event;
    int64_t lateNs;
  };
  static constexpr size_t kSize = 4096;
  std::array<Record, kSize> ring_{};
  std::atomic<size_t> head_{0};  // next to put
  std::atomic<size_t> tail_{0};  // next to write
  int fd_;
  std::mutex mu_;
  std::condition_variable cv_;
  bool stop_ = false;
  std::thread writer_;
};

}  // namespace orvex::engine
