#include "core/config/env_file.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <charconv>
#include <climits>
#include <limits>
#include <variant>
#include <vector>

#include "base/atomic_file.h"
#include "base/message.h"
#include "base/numbers.h"
#include "base/program_paths.h"
#include "core/config/port_name.h"

namespace orvex {
namespace {

constexpr const char* kTitle = "Environment File";

using FieldRef = std::variant<Text EnvSettings::*, int16_t EnvSettings::*, int32_t EnvSettings::*,
                              float EnvSettings::*>;

struct Field {
  const char* key;  // as matched, upper case
  FieldRef member;
  long long lo = LLONG_MIN;  // numbers outside lo..hi are refused
  long long hi = LLONG_MAX;
};

const Field kFields[] = {
    {"CALL", &EnvSettings::MyCall},
    {"COLORPKTFORE", &EnvSettings::ColorPktFore},
    {"COLORPKTBACK", &EnvSettings::ColorPktBack},
    {"CWPORT", &EnvSettings::CWPort},
    {"CWSPEED", &EnvSettings::CWSpeed},
    {"CWSIDETONE_DEVICE", &EnvSettings::CWSidetone_Device},
    {"CWSIDETONE_ENABLE", &EnvSettings::CWSidetone_Enable},
    {"CWSIDETONE", &EnvSettings::CWSidetone_Enable},
    {"CWTONE", &EnvSettings::CWTone},
    {"CWWEIGHT", &EnvSettings::CWWeight},
    {"CWPTTLEAD", &EnvSettings::CWPttLead, 0, kMaxPttLeadMs},
    {"CWPTTTAIL", &EnvSettings::CWPttTail, 0, kMaxPttTailMs},
    {"NETKEYER", &EnvSettings::NetKeyer},
    {"PACKETTOP", &EnvSettings::PacketTop},
    {"PACKETLEFT", &EnvSettings::PacketLeft},
    {"PACKETHEIGHT", &EnvSettings::PacketHeight},
    {"PACKETWIDTH", &EnvSettings::PacketWidth},
    {"PACKETSTATE", &EnvSettings::PacketState},
    {"PACKETFONTNAME", &EnvSettings::PacketFontName},
    {"PACKETFONTSIZE", &EnvSettings::PacketFontSize},
    {"PACKETFONTBOLD", &EnvSettings::PacketFontBold},
    {"PACKETFONTITALIC", &EnvSettings::PacketFontItalic},
    {"PACKETFONTUNDERLINE", &EnvSettings::PacketFontUnderline},
    {"PACKETFONTSTRIKETHRU", &EnvSettings::PacketFontStrikeThru},
    {"VERSION", &EnvSettings::Version},
};

struct AssignVisitor {
  EnvSettings& s;
  const Text& value;
  long long lo, hi;
  bool operator()(Text EnvSettings::*m) const {
    s.*m = value;
    return true;
  }
  bool operator()(int16_t EnvSettings::*m) const { return Integer(s.*m); }
  bool operator()(int32_t EnvSettings::*m) const { return Integer(s.*m); }
  bool operator()(float EnvSettings::*m) const {
    const double v = LeadingNumber(value);
    if (!(v >= -FLT_MAX && v <= FLT_MAX)) return false;
    s.*m = static_cast<float>(v);
    return true;
  }
  template <typename T>
  bool Integer(T& field) const {
    const auto r =
        RoundHalfEven(LeadingNumber(value), std::max<long long>(lo, std::numeric_limits<T>::min()),
                      std::min<long long>(hi, std::numeric_limits<T>::max()));
    if (!r) return false;
    field = static_cast<T>(*r);
    return true;
  }
};

// Stores value into the field; false when the number does not fit it.
bool Assign(EnvSettings& s, const Field& field, const Text& value) {
  return std::visit(AssignVisitor{s, value, field.lo, field.hi}, field.member);
}

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

Text NumberLine(const char* key, long long value) {
  return Text(key) + SignedDigits(value) + " " + Text(CRLF);
}

Text FloatLine(const char* key, float value) {
  const Text digits = DecimalText(value);
  return Text(key) + (digits[0] == '-' ? "" : " ") + digits + " " + Text(CRLF);
}

}  // namespace

std::string EnvironmentFileName(const std::string& commandLine) {
  return commandLine.empty() ? "orvex.ini" : commandLine;
}

std::string EnvironmentFilePath(const std::string& commandLine, const std::string& programDir) {
  return ProgramFilePath(EnvironmentFileName(commandLine), programDir);
}

EnvironmentFile::EnvironmentFile(std::string path, MessageSink& sink, MessageMenuCaptions& captions)
    : path_(std::move(path)), sink_(sink), captions_(captions) {}

Text EnvironmentFile::DisplayPath() const {
  return Utf8ToCp1252(path_);
}

void EnvironmentFile::Report(const Text& text) {
  sink_.Warning(kTitle, text);
}

void EnvironmentFile::ReadEnvironmentFile(EnvSettings& settings, int16_t& cwPortCode,
                                          EventYield* events) {
  RemoveStaleTemporaries(path_);
  std::string bytes;
  const FileResult read = ReadWholeFile(path_, bytes);
  // Defaults first in every case: a file we cannot open must not leave the
  // program at speed 0 with a zero-sized window.
  settings = EnvSettings{};
  if (read.failed()) {
    // We never saw what the file holds, so a later rewrite must not replace
    // it without keeping a copy.
    backupPending_ = true;
    const Text what = read.stage() == FileStage::Open ? "Can't open" : "Can't read";
    Report(what + " environment file " + DisplayPath() + Text(CRLF) + read.Description() + ".");
    return;
  }
  if (read.missing()) return;

  const Text text = DecodeFileText(bytes, &encoding_);
  const std::vector<Text> lines = SplitLines(text);
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

    if (key == "[ORVEX]") continue;
    const Field* field = nullptr;
    for (const Field& f : kFields)
      if (key == f.key) field = &f;
    if (field) {
      if (!Assign(settings, *field, value)) {
        Report("Can't read environment file " + DisplayPath() + Text(CRLF) + "Overflow.");
        backupPending_ = true;
        return;  // the port is not validated: the code stays as it was
      }
      continue;
    }
    if (key.empty()) continue;
    if (key.compare(0, 5, "MSGCW") == 0) {
      const int n = key.back() - '0';
      if (n >= 1 && n <= 8) {
        settings.Message(n) = value;
        captions_.SetMessageMenuCaption(n, value);
      }
      continue;
    }
    const size_t first = key.find_first_not_of(' ');
    if (first != Text::npos && key[first] == ';') continue;
    Report("Bad line in environment file " + DisplayPath() + "." + Text(CRLF) + "Line #" +
           std::to_string(index + 1) + ": " + line);
  }

  if (!settings.CWPort.empty()) {
    const PortParse port = ParseCWPort(settings.CWPort);
    cwPortCode = port.code;
    if (!port.error.empty()) {
      const Text read = settings.CWPort;
      cwPortCode = 0;
      settings.CWPort = "None";
      Report("Bad CW port '" + read + "' in environment file." + Text(CRLF) +
             "Reset it using the 'Options/CW Options' menu.");
    }
  }
}

Text EnvironmentFile::FormatEnvironmentFile(const EnvSettings& s) {
  const Text eol(CRLF);
  Text out = "[ORVEX]" + eol;
  out += "Version=" + Text(kProgramVersion) + eol;
  if (!s.MyCall.empty()) out += "Call=" + s.MyCall + eol;
  if (s.ColorPktFore != 0) {
    out += NumberLine("ColorPktFore=", s.ColorPktFore);
    out += NumberLine("ColorPktBack=", s.ColorPktBack);
  }
  out += "CWPort=" + s.CWPort + eol;
  out += NumberLine("CWSpeed=", s.CWSpeed);
  out += NumberLine("CWSidetone_Device=", s.CWSidetone_Device);
  out += NumberLine("CWSidetone_Enable=", s.CWSidetone_Enable);
  out += NumberLine("CWTone=", s.CWTone);
  out += NumberLine("CWWeight=", s.CWWeight);
  out += NumberLine("CWPttLead=", s.CWPttLead);
  out += NumberLine("CWPttTail=", s.CWPttTail);
  if (!s.NetKeyer.empty()) out += "NetKeyer=" + s.NetKeyer + eol;
  for (int n = 1; n <= 8; ++n)
    if (!s.Message(n).empty()) out += "MsgCW" + std::to_string(n) + "=" + s.Message(n) + eol;
  out += NumberLine("PacketTop=", s.PacketTop);
  out += NumberLine("PacketLeft=", s.PacketLeft);
  out += NumberLine("PacketHeight=", s.PacketHeight);
  out += NumberLine("PacketWidth=", s.PacketWidth);
  out += NumberLine("PacketState=", s.PacketState);
  if (!s.PacketFontName.empty()) {
    out += "PacketFontName=" + s.PacketFontName + eol;
    out += FloatLine("PacketFontSize=", s.PacketFontSize);
    out += NumberLine("PacketFontBold=", s.PacketFontBold);
    out += NumberLine("PacketFontItalic=", s.PacketFontItalic);
    out += NumberLine("PacketFontUnderline=", s.PacketFontUnderline);
    out += NumberLine("PacketFontStrikeThru=", s.PacketFontStrikeThru);
  }
  return out;
}

std::string EnvironmentFile::EncodedContents(const EnvSettings& settings) const {
  return EncodeFileText(FormatEnvironmentFile(settings), encoding_);
}

bool EnvironmentFile::WriteEnvironmentFile(const EnvSettings& settings) {
  auto report = [&](const FileResult& f) {
    const Text what = f.stage() == FileStage::Open ? "Can't open" : "Can't write";
    Report(what + " environment file " + DisplayPath() + Text(CRLF) + f.Description() + ".");
    return false;
  };
  if (backupPending_) {
    // The file was not read whole, so this rewrite would drop what lay past
    // the failing line (stored messages among it). Keep the old file first;
    // without that copy we do not overwrite.
    std::string old;
    const FileResult read = ReadWholeFile(path_, old);
    if (read.failed()) return report(FileResult::Failed(FileStage::Write, read.error()));
    if (read.ok()) {
      // A new backup each time (orvex.ini.bak, .bak.1, ...): an older one
      // may hold what only it still has.
      FileResult copied = WriteNewFile(path_ + ".bak", old);
      for (int n = 1; copied.failed() && copied.error() == EEXIST && n < 1000; ++n)
        copied = WriteNewFile(path_ + ".bak." + std::to_string(n), old);
      if (!copied.ok()) return report(FileResult::Failed(FileStage::Write, copied.error()));
    }
    backupPending_ = false;
  }
  const FileResult written = ReplaceFileAtomically(path_, EncodedContents(settings));
  if (!written.ok()) return report(written);
  for (int n = 1; n <= 8; ++n)
    if (!settings.Message(n).empty()) captions_.SetMessageMenuCaption(n, settings.Message(n));
  return true;
}

}  // namespace orvex
