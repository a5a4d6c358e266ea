#include "core/config/env_file.h"

#include <cerrno>

#include "base/atomic_file.h"
#include "base/program_paths.h"
#include "core/config/port_name.h"
#include "core/config/settings_table.h"

namespace orvex {
namespace {

// Splits file text into lines. CR, CRLF and a lone LF all end a line; a last
// line without an end still counts.
std::vector<Text> SplitLines(const Text& text) {
  std::vector<Text> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace

std::string EnvironmentFileName(const std::string& commandLine) {
  return commandLine.empty() ? "orvex.ini" : commandLine;
}

std::string EnvironmentFilePath(const std::string& commandLine, const std::string& programDir) {
  return ProgramFilePath(EnvironmentFileName(commandLine), programDir);
}

Text EnvironmentFile::DisplayPath() const {
  return Utf8ToCp1252(path_);
}

Result EnvironmentFile::Told(const Result& failure, const char* what) const {
  return failure.Told(Text(what) + " environment file " + DisplayPath() + Text(CRLF) +
                      failure.Description() + ".");
}

namespace {

// A keying choice the program does not know is neither guessed at nor put
// back to its default (DTR keys a carrier on a radio that keys on RTS): it
// stays as written and no port is keyed until it is set (PortSetup refuses
// it). Key and PTT on one line loses PTT, not keying.
void MakeChoicesSafe(EnvSettings& settings, std::vector<Result>& problems) {
  // Any case is taken, and spelled as the program spells it.
  for (const Setting& row : SettingsTable())
    if (row.choices) (void)row.Enter(settings, settings.*std::get<Text EnvSettings::*>(row.field));
  if (const Result choices = CheckKeyingChoices(settings); !choices.ok())
    problems.push_back(Result::Refused(choices.text() + "." + Text(CRLF) +
                                       "Nothing is keyed until it is set in the "
                                       "'Options/CW Options' menu."));
  if (const Result lines = CheckLineChoice(settings); !lines.ok()) {
    problems.push_back(Result::Refused(lines.text() + "." + Text(CRLF) +
                                       "PTT is off (None) until it is set in the "
                                       "'Options/CW Options' menu."));
    settings.CWPttLine = "None";
  }
}

}  // namespace

EnvRead EnvironmentFile::ReadEnvironmentFile(EventYield* events) {
  RemoveStaleTemporaries(path_);
  // Defaults in every case: a file we cannot open must not leave the
  // program at speed 0 with a zero-sized window.
  EnvRead read;
  std::string bytes;
  const Result opened = ReadWholeFile(path_, bytes);
  if (opened.failed()) {
    // We never saw what the file holds, so a later rewrite must not replace
    // it without keeping a copy.
    backupPending_ = true;
    read.unread = true;
    read.problems.push_back(
        Told(opened, opened.fault() == Fault::Open ? "Can't open" : "Can't read"));
    return read;
  }
  if (opened.missing()) return read;

  EnvSettings& settings = read.settings;
  const std::vector<Text> lines = SplitLines(DecodeFileText(bytes, &encoding_));
  for (size_t index = 0; index < lines.size(); ++index) {
    if (events) events->LetEventsRun();
    const Text& line = lines[index];
    size_t sep = line.find('=');
    if (sep == Text::npos) sep = line.find(' ');
    Text key, value;
    if (sep != Text::npos) {
      key = UpperCase(TrimBlanks(std::string_view(line).substr(0, sep)));
      value = TrimBlanks(std::string_view(line).substr(sep + 1));
    } else {
      key = line;
    }

    if (key == "[ORVEX]" || key.empty()) continue;
    int number = 0;
    if (const Setting* setting = SettingByFileKey(key, &number)) {
      if (const Result stored = setting->Read(settings, value, number); !stored.ok()) {
        // The setting keeps its default and the rest of the file is read
        // all the same: the keying settings after a bad value must not
        // fall back to theirs (a radio keyed on RTS would get a carrier).
        // The file as it was is kept before the first rewrite.
        read.problems.push_back(Told(stored, "Can't read"));
        backupPending_ = true;
      }
      continue;
    }
    const size_t first = key.find_first_not_of(' ');
    if (first != Text::npos && key[first] == ';') continue;
    read.problems.push_back(Result::Refused("Bad line in environment file " + DisplayPath() + "." +
                                            Text(CRLF) + "Line #" + std::to_string(index + 1) +
                                            ": " + line));
  }

  if (!settings.CWPort.empty() && !ParseCWPort(settings.CWPort, &read.portCode).ok()) {
    read.problems.push_back(Result::Refused("Bad CW port '" + settings.CWPort +
                                            "' in environment file." + Text(CRLF) +
                                            "Reset it using the 'Options/CW Options' menu."));
    settings.CWPort = "None";
  }
  MakeChoicesSafe(settings, read.problems);
  return read;
}

Text EnvironmentFile::FormatEnvironmentFile(const EnvSettings& s) {
  Text out = "[ORVEX]" + Text(CRLF);
  for (const Setting& setting : SettingsTable()) out += setting.Lines(s);
  return out;
}

std::string EnvironmentFile::EncodedContents(const EnvSettings& settings) const {
  return EncodeFileText(FormatEnvironmentFile(settings), encoding_);
}

Result EnvironmentFile::WriteEnvironmentFile(const EnvSettings& settings) {
  auto told = [&](const Result& f) {
    return Told(f, f.fault() == Fault::Open ? "Can't open" : "Can't write");
  };
  if (backupPending_) {
    // The file was not read whole, so this rewrite would drop what lay past
    // the failing line (stored messages among it). Keep the old file first;
    // without that copy we do not overwrite.
    std::string old;
    const Result read = ReadWholeFile(path_, old);
    if (read.failed()) return told(Result::Failed(Fault::Write, read.error()));
    if (read.ok()) {
      // A new backup each time (orvex.ini.bak, .bak.1, ...): an older one
      // may hold what only it still has.
      Result copied = WriteNewFile(path_ + ".bak", old);
      for (int n = 1; copied.failed() && copied.error() == EEXIST && n < 1000; ++n)
        copied = WriteNewFile(path_ + ".bak." + std::to_string(n), old);
      if (!copied.ok()) return told(Result::Failed(Fault::Write, copied.error()));
    }
    backupPending_ = false;
  }
  const Result written = ReplaceFileAtomically(path_, EncodedContents(settings));
  return written.ok() ? written : told(written);
}

}  // namespace orvex
