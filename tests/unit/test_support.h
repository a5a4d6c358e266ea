// Shared test helpers: a message sink that records, temporary directories,
// whole-file reads and writes.
#pragma once

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <stdlib.h>
#include <unistd.h>

#include "app/message_sink.h"

namespace orvex::test {

struct RecordedBox {
  Text title;
  Text text;
  bool warning;
};

class RecordingSink : public MessageSink {
 public:
  void Warning(const Text& title, const Text& text) override { boxes.push_back({title, text, true}); }
  void Information(const Text& title, const Text& text) override {
    boxes.push_back({title, text, false});
  }
  bool Question(const Text& title, const Text& text) override {
    questions.push_back({title, text, false});
    return answer;
  }
  std::vector<RecordedBox> boxes;
  std::vector<RecordedBox> questions;
  bool answer = false;
};

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

inline bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace orvex::test
