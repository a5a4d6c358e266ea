#include "keying/cw_file.h"

#include "app/message.h"

namespace orvex {

void CwFileSender::SendCWFile(FileChooser* chooser, const Text& name) {
  if (!name_.empty()) {
    if (!sink_.Question("Send CW File", "CW file already in progress, stop it?")) return;
    stopCW_();
  }
  std::string path;
  Text shown = name;
  if (name.empty()) {
    if (!chooser) return;
    const auto chosen =
        chooser->ChooseFileToRead("File to Send as CW", "All Files (*.*)|*.*", programDir_);
    if (!chosen) return;
    path = *chosen;
    const size_t slash = path.rfind('/');
    shown = Utf8ToCp1252(slash == std::string::npos ? path : path.substr(slash + 1));
  } else {
    path = Cp1252ToUtf8(name);  // relative names: the current directory
  }
  int err = 0;
  auto reader = TextLineReader::Open(path, &err);
  if (!reader) {
    if (name.empty())
      ShowMessage(sink_, "Can't start CW file", ErrorFromErrno(err), "CW Start");
    else
      ShowMessage(sink_, "Can't send file '" + name + "' as CW", ErrorFromErrno(err), "CW Start");
    return;
  }
  reader_ = std::move(reader);
  held_.clear();
  name_ = shown;
  ReadCWFile();
}

bool CwFileSender::ReadCWFile() {
  while (!name_.empty() && queue_.Slot(2).size() < 20) {
    if (held_.empty()) {
      Text piece;
      bool lineEnd = false;
      int err = 0;
      switch (reader_->Next(&piece, &lineEnd, &err)) {
        case TextLineReader::Result::End:
          EndCWFile();
          return true;
        case TextLineReader::Result::Error: {
          const Text name = name_;
          EndCWFile();
          ShowMessage(sink_, "Can't read file " + name, ErrorFromErrno(err), "Send CW File");
          return false;
        }
        case TextLineReader::Result::Piece:
          held_ = expand_(piece);
          if (lineEnd) held_ += CRLF;
          break;
      }
    }
    // A full queue refuses the line whole; it waits here, nothing is lost.
    if (!queue_.QueueCW(held_, 2)) return true;
    held_.clear();
  }
  return true;
}

void CwFileSender::EndCWFile() {
  if (name_.empty()) return;
  reader_.reset();
  held_.clear();
  name_.clear();
}

}  // namespace orvex
