// The environment file, read and rewritten: never a crash, and one rewrite
// reaches a fixed point that keeps every stored message's text.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "core/config/env_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orvex;
  static const std::string path = [] {
    char dir[] = "/tmp/orvex-fuzz-XXXXXX";
    return std::string(mkdtemp(dir)) + "/orvex.ini";
  }();
  auto read = [&](std::string_view bytes) {
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    return EnvironmentFile(path).ReadEnvironmentFile();
  };
  const EnvRead once = read({reinterpret_cast<const char*>(data), size});
  const EnvSettings& first = once.settings;
  const std::string written = EnvironmentFile(path).EncodedContents(first);
  const EnvSettings second = read(written).settings;
  if (EnvironmentFile(path).EncodedContents(second) != written) std::abort();
  if (first.MsgCW != second.MsgCW) std::abort();
  return 0;
}
