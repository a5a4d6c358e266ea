// The environment file: EnvSettings on disk, as "[ORVEX]" and Key=value
// lines. Reading is forgiving (bad lines are reported one by one and
// skipped); writing rewrites the whole file in a fixed key order.
#pragma once

#include <string>

#include "base/message_sink.h"
#include "core/config/env_settings.h"
#include "core/config/menu_captions.h"

namespace orvex {

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

class EnvironmentFile {
 public:
  // path is native (UTF-8 on Linux); boxes go to sink; message captions are
  // kept in step with the messages read and written.
  EnvironmentFile(std::string path, MessageSink& sink, MessageMenuCaptions& captions);

  // Fills settings and the port code derived from CWPort. events, when
  // given, run before each line so the start-up window keeps painting.
  void ReadEnvironmentFile(EnvSettings& settings, int16_t& cwPortCode,
                           EventYield* events = nullptr);

  // Rewrites the file from settings; false (after its box) on failure, with
  // the old file left whole.
  bool WriteEnvironmentFile(const EnvSettings& settings);

  // The lines the writer writes, as program text with CRLF line ends.
  static Text FormatEnvironmentFile(const EnvSettings& settings);
  // The same, in the encoding the file was read in.
  std::string EncodedContents(const EnvSettings& settings) const;

  const std::string& Path() const { return path_; }
  FileEncoding Encoding() const { return encoding_; }
  // True after a read that stopped early: the next write first keeps the old
  // file as path + ".bak", since the rewrite drops the lines never read.
  bool BackupPending() const { return backupPending_; }

 private:
  Text DisplayPath() const;
  void Report(const Text& text);

  std::string path_;
  MessageSink& sink_;
  MessageMenuCaptions& captions_;
  FileEncoding encoding_ = FileEncoding::Windows1252;
  bool backupPending_ = false;
};

}  // namespace orvex
