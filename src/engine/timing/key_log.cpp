#include "engine/timing/key_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace orvex::engine {

Result KeyLog::FromEnvironment(std::unique_ptr<KeyLog>* log) {
  const char* path = std::getenv("ORVEX_KEYER_LOG");
  if (!path || !*path) return Result::Missing();
  return Open(path, log);
}

Result KeyLog::Open(const std::string& path, std::unique_ptr<KeyLog>* log) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return Result::FromErrno(Fault::Open, errno);
  log->reset(new KeyLog(fd));
  return {};
}

KeyLog::KeyLog(int fd) : fd_(fd), writer_([this] { Writer(); }) {}

KeyLog::~KeyLog() {
  {
    std::lock_guard lock(mu_);
    stop_ = true;
  }
  cv_.notify_all();
  writer_.join();
  WriteOut();
  ::close(fd_);
}

void KeyLog::Put(int64_t monotonicNs, KeyEvent event, int64_t lateNs) noexcept {
  const size_t head = head_.load(std::memory_order_relaxed);
  if (head - tail_.load(std::memory_order_acquire) >= kSize) return;
  ring_[head % kSize] = {monotonicNs, event, lateNs};
  head_.store(head + 1, std::memory_order_release);
}

void KeyLog::Flush() {
  std::lock_guard lock(mu_);
  WriteOut();
}

void KeyLog::WriteOut() {
  static const char* const kNames[] = {"KEY DOWN", "KEY UP", "PTT ON", "PTT OFF", "LATE"};
  const size_t head = head_.load(std::memory_order_acquire);
  for (size_t tail = tail_.load(std::memory_order_relaxed); tail != head; ++tail) {
    const Record& r = ring_[tail % kSize];
    char line[64];
    const int n = r.event == KeyEvent::Late ? std::snprintf(line, sizeof line, "%lld LATE %lld\n",
                                                            static_cast<long long>(r.ns / 1000),
                                                            static_cast<long long>(r.lateNs / 1000))
                                            : std::snprintf(line, sizeof line, "%lld %s\n",
                                                            static_cast<long long>(r.ns / 1000),
                                                            kNames[static_cast<int>(r.event)]);
    // One write per line with O_APPEND: lines never interleave.
    if (n > 0) [[maybe_unused]]
      ssize_t w = ::write(fd_, line, static_cast<size_t>(n));
    tail_.store(tail + 1, std::memory_order_release);
  }
}

void KeyLog::Writer() {
  std::unique_lock lock(mu_);
  while (!stop_) {
    // A few milliseconds late is fine for a log; a wake-up per change is not
    // worth it.
    cv_.wait_for(lock, std::chrono::milliseconds(10));
    WriteOut();
  }
}

}  // namespace orvex::engine
