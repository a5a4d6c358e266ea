#include "core/sending/file_sender.h"

#include <algorithm>

#include "base/message.h"
#include "base/numbers.h"
#include "core/sending/queue_codes.h"

namespace orvex {

bool FileSender::Start(const std::string& path, const Text& shown, bool chosen) {
  FileResult opened = FileResult::Ok();
  auto reader = LineReader::Open(path, &opened);
  if (!reader) {
    const ErrorInfo error = ErrorFrom(opened);
    if (chosen)
      ShowMessage(sink_, "Can't start CW file", error, "CW Start");
    else
      ShowMessage(sink_, "Can't send file '" + shown + "' as CW", error, "CW Start");
    return false;
  }
  reader_ = std::move(reader);
  held_.clear();
  name_ = shown;
  ReadCWFile();
  return true;
}

Text FileSender::Progress() const {
  if (name_.empty() || !reader_) return {};
  const long long done = reader_->Position(), size = reader_->Size();
  return size >= 0 ? GroupedNumber(done) + " of " + GroupedNumber(size) + " bytes"
                   : GroupedNumber(done) + " bytes";
}

bool FileSender::ReadCWFile() {
  while (!name_.empty() && queue_.Slot(2).size() < 20) {
    if (held_.empty()) {
      Text piece;
      bool lineEnd = false, end = false;
      const FileResult read = reader_->Next(&piece, &lineEnd, &end);
      if (read.failed()) {
        const Text name = name_;
        EndCWFile();
        ShowMessage(sink_, "Can't read file " + name, ErrorFrom(read), "Send CW File");
        return false;
      }
      if (end) {
        EndCWFile();
        return true;
      }
      // In a UTF-8 file È and Ê to Ï are letters someone wrote ("CAFÊ"),
      // not the queue's commands that a Windows-1252 file may carry on
      // purpose; they have no Morse, so they are left out.
      if (reader_->LastPieceUtf8())
        piece.erase(
            std::remove_if(piece.begin(), piece.end(),
                           [](char c) { return IsQueueCode(static_cast<unsigned char>(c)); }),
            piece.end());
      held_ = expander_.ExpandLine(piece);
      if (lineEnd) held_ += CRLF;
    }
    // A full queue refuses the line whole; it waits here, nothing is lost.
    if (!queue_.QueueCW(held_, 2)) return true;
    held_.clear();
  }
  return true;
}

void FileSender::EndCWFile() {
  if (name_.empty()) return;
  reader_.reset();
  held_.clear();
  name_.clear();
}

}  // namespace orvex
