// The environment file: EnvSettings on disk, as "[ORVEX]" and Key=value
// lines, read and written through the settings table. Reading is forgiving:
// bad lines are skipped and each is handed back as a problem; writing
// rewrites the whole file in the table's order. Neither shows anything:
// the caller tells the operator (boxes titled "Environment File").
#pragma once

#include <string>
#include <vector>

#include "base/result.h"
#include "core/config/env_settings.h"

namespace orvex {

inline constexpr const char* kEnvFileTitle = "Environment File";

// Lets pending window events run, from inside a long job.
class EventYield {
 public:
  virtual ~EventYield() = default;
  virtual void LetEventsRun() = 0;
};

// The file the program uses: the whole command-line argument text when there
// is one, else "orvex.ini", resolved against the program directory.
std::string EnvironmentFilePath(const std::string& commandLine, const std::string& programDir);
// The name alone: the command-line text, or "orvex.ini".
std::string EnvironmentFileName(const std::string& commandLine);

// What a read came to: the settings (the defaults where the file says
// nothing), the port code derived from CWPort, and what was wrong with the
// file, in order, one box each.
struct EnvRead {
  EnvSettings settings;
  int16_t portCode = 0;
  std::vector<Result> problems;
  bool unread = false;  // the file is there but could not be read: these are defaults
};

class EnvironmentFile {
 public:
  explicit EnvironmentFile(std::string path) : path_(std::move(path)) {}

  // events, when given, run before each line so the start-up window keeps
  // painting.
  EnvRead ReadEnvironmentFile(EventYield* events = nullptr);

  // Rewrites the file from settings; on failure the old file is left whole
  // and the result says why in the operator's words.
  Result WriteEnvironmentFile(const EnvSettings& settings);

  // The lines the writer writes, as program text with CRLF line ends.
  static Text FormatEnvironmentFile(const EnvSettings& settings);
  // The same, in the encoding the file was read in.
  std::string EncodedContents(const EnvSettings& settings) const;

 private:
  Text DisplayPath() const;
  // "Can't open"/"Can't read"/"Can't write" and the path, and why.
  Result Told(const Result& failure, const char* what) const;

  std::string path_;
  FileEncoding encoding_ = FileEncoding::Windows1252;
  // A read stopped early: the next write first keeps the old file as
  // path + ".bak", since the rewrite drops the lines never read.
  bool backupPending_ = false;
};

}  // namespace orvex
