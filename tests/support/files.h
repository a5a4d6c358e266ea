// What tests of every kind share: temporary directories, whole-file reads
// and writes, the shipped programs run as processes, free loopback ports,
// and key-downs as a listener hears them.
#pragma once

#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace orvex::test {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/orvex-test-XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
  }
  ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline bool Exists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

inline bool Contains(const std::string& haystack, const std::string& needle) {
  return haystack.find(needle) != std::string::npos;
}

struct ToolResult {
  int status;
  std::string out;
  std::string err;
};

// command: the whole shell command line; dir holds the captured output.
inline ToolResult RunTool(const std::string& command, const TempDir& dir) {
  const std::string out = dir.File("stdout"), err = dir.File("stderr");
  const int raw = std::system((command + " >" + out + " 2>" + err).c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(out), ReadFile(err)};
}

// A port on the loopback interface nobody uses just now (type: SOCK_DGRAM
// or SOCK_STREAM): the kernel picks one and it is let go at once.
inline int FreePort(int type) {
  const int probe = socket(AF_INET, type, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof at;
  bind(probe, reinterpret_cast<sockaddr*>(&at), len);
  getsockname(probe, reinterpret_cast<sockaddr*>(&at), &len);
  close(probe);
  return ntohs(at.sin_port);
}

// Key-downs (each one's start and end, in any one unit of time) as a
// listener hears them: "." and "-" against the shortest, " " between
// characters, " / " between words.
inline std::string Heard(const std::vector<std::pair<int64_t, int64_t>>& downs) {
  int64_t dot = INT64_MAX;
  for (auto [start, end] : downs) dot = std::min(dot, end - start);
  std::string out;
  for (size_t i = 0; i < downs.size(); ++i) {
    const int64_t gap = i ? downs[i].first - downs[i - 1].second : 0;
    out += gap > 5 * dot ? " / " : gap > 2 * dot ? " " : "";
    out += downs[i].second - downs[i].first > 2 * dot ? '-' : '.';
  }
  return out;
}

}  // namespace orvex::test
