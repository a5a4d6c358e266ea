#include "engine/key_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace orvex::engine {

std::unique_ptr<KeyLog> KeyLog::FromEnvironment() {
  const char* path = std::getenv("ORVEX_KEYER_LOG");
  if (!path || !*path) return nullptr;
  return Open(path);
}

std::unique_ptr<KeyLog> KeyLog::Open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  return std::unique_ptr<KeyLog>(new KeyLog(fd));
}

KeyLog::~KeyLog() {
  ::close(fd_);
}

void KeyLog::Write(int64_t monotonicNs, const char* what) noexcept {
  char line[64];
  const int n = std::snprintf(line, sizeof line, "%lld %s\n",
                              static_cast<long long>(monotonicNs / 1000), what);
  // One write per line with O_APPEND: lines never interleave.
  if (n > 0) [[maybe_unused]]
    ssize_t w = ::write(fd_, line, static_cast<size_t>(n));
}

}  // namespace orvex::engine
